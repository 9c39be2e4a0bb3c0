// The report the user sees when a raised error ends the process.
#pragma once

#include "common/app_error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kErrorReportTitle = L"ZanvekNotePad";

// Exit codes besides the editor's own (which the launcher passes on unchanged).
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrorReported = 3; // a raised error ended the process after its report
inline constexpr int kExitUnexpected = 4;    // an error of unknown kind (a defect) ended it

// Why a system call failed, as the report words it: "理由: ", the system's text for `code`
// (without its closing line break; "不明" when there is none), then the code.
std::wstring ReasonText(std::uint32_t code, std::wstring_view systemReason);

// The system's text for some errors holds inserts ("%1 is not a valid Win32 application.",
// read without its arguments): `fileName` takes the place of %1, every other insert (%2 to %99,
// each with its "!format!" if it has one) is left out. Nothing else changes.
std::wstring FillInserts(std::wstring_view systemText, std::wstring_view fileName);

// The text of the report: what failed, the path involved, and the system's own reason
// (`systemReason`, empty for the program's own errors, its inserts filled with the name of the
// file of the error's path, the first where it names two) with its code.
std::wstring FormatErrorReport(const AppError& error, std::wstring_view systemReason);

} // namespace zn
