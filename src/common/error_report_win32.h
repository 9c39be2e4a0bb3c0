#pragma once

#include "common/app_error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zn {

// The system's own description of a Win32 error code (empty when it has none).
std::wstring SystemReason(std::uint32_t code);

// Raises the error for the calling thread's last Win32 error.
[[noreturn]] void FailWithLastError(std::wstring what, std::wstring path = {});

// Shows the report in a message box with no owner and waits until the user answers it, also
// when a WM_QUIT is pending on this thread (it is still pending afterwards). Loads user32 on
// first use.
void ShowErrorReport(const AppError& error) noexcept;

} // namespace zn
