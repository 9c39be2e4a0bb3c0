// The one error type the program raises. Every raised error ends the process after one report
// to the user (see error_report.h); nothing in between catches it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace zn {

// Codes of the errors the program raises on its own. Bit 29 is the bit Windows leaves to
// applications, so these never collide with a Win32 error code, which is used as it is.
inline constexpr std::uint32_t kErrorSubscriptOutOfRange = 0x20000009;
inline constexpr std::uint32_t kErrorConversion = 0x2000000D;
inline constexpr std::uint32_t kErrorNotOurProgram = 0x20000101;
inline constexpr std::uint32_t kErrorNotAProgram = 0x20000102;
inline constexpr std::uint32_t kErrorTwoNotepads = 0x20000103;
inline constexpr std::uint32_t kErrorSetupRunning = 0x20000104;
inline constexpr std::uint32_t kErrorForeignDebugger = 0x20000110; // another program's redirection
inline constexpr std::uint32_t kErrorForeignRegistration = 0x20000111; // ... or its registration
inline constexpr std::uint32_t kErrorNotTheRunningImage = 0x20000112;  // set-up cannot hold itself
inline constexpr std::uint32_t kErrorUnexpected = 0x200001FF;
inline constexpr std::uint32_t kErrorCommandLineTooLong = 0x20000201;
inline constexpr std::uint32_t kErrorEditorNotAProgram = 0x20000202;
inline constexpr std::uint32_t kErrorEditorLoop = 0x20000203; // editors nested too deep

inline constexpr bool IsWin32ErrorCode(std::uint32_t code)
{
    return (code & 0x20000000u) == 0;
}

struct AppError {
    AppError(std::uint32_t code_, std::wstring what_, std::wstring path_ = {},
             std::wstring advice_ = {})
        : code(code_), what(std::move(what_)), path(std::move(path_)), advice(std::move(advice_))
    {
    }

    std::uint32_t code;
    std::wstring what;   // what failed, worded for the user (Japanese)
    std::wstring path;   // the file or key involved; empty when there is none
    std::wstring advice; // what the user can do about it; empty when there is nothing to say
};

[[noreturn]] inline void Fail(std::uint32_t code, std::wstring what, std::wstring path = {},
                              std::wstring advice = {})
{
    throw AppError(code, std::move(what), std::move(path), std::move(advice));
}

} // namespace zn
