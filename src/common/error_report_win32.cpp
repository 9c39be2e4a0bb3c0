#include "common/error_report_win32.h"

#include "common/error_report.h"

#include <windows.h>

namespace zn {

std::wstring SystemReason(std::uint32_t code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    ::LocalFree(buffer);
    return text;
}

void FailWithLastError(std::wstring what, std::wstring path)
{
    const DWORD code = ::GetLastError();
    // A function that failed without saying why still failed.
    Fail(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE, std::move(what), std::move(path));
}

void ShowErrorReport(const AppError& error) noexcept
{
    // A message box's modal loop ends at once on a pending WM_QUIT (a window that ended its
    // loop leaves one): hold it back while the report is up, then put it back for the caller.
    MSG quit{};
    const bool quitPending = ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    try {
        const std::wstring reason = IsWin32ErrorCode(error.code) ? SystemReason(error.code) : L"";
        const std::wstring text = FormatErrorReport(error, reason);
        ::MessageBoxW(nullptr, text.c_str(), std::wstring(kErrorReportTitle).c_str(),
                      MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    } catch (...) {
        // Out of memory while wording the report: say the least that can be said.
        ::MessageBoxW(nullptr, L"エラーが発生しました。", kErrorReportTitle.data(),
                      MB_OK | MB_ICONERROR);
    }
    if (quitPending) ::PostQuitMessage(static_cast<int>(quit.wParam));
}

} // namespace zn
