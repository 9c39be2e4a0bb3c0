#include "setup/setup_host_win32.h"

#include "common/app_error.h"
#include "common/unique_handle.h"
#include "resources/names.h"
#include "setup/version_resource.h"

#include <windows.h>

#include <vector>

namespace zn {
namespace {

constexpr std::wstring_view kInternalName = ZN_WIDE(ZN_INTERNAL_NAME);
constexpr LONGLONG kLargestProgram = 64 * 1024 * 1024; // notepad.exe is far smaller

bool IsReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// `blocked` is the file whose protection may be the reason: a read-only one needs its
// attribute cleared, anything else denied needs administrator rights.
[[noreturn]] void FailFileOperation(std::wstring what, std::wstring shownPath,
                                    const std::wstring& blocked)
{
    DWORD code = ::GetLastError();
    if (code == ERROR_SUCCESS) code = ERROR_GEN_FAILURE;
    std::wstring advice;
    if (code == ERROR_ACCESS_DENIED || code == ERROR_PRIVILEGE_NOT_HELD) {
        advice = IsReadOnly(blocked)
                     ? L"ファイルの読み取り専用属性を解除してから、もう一度実行してください。"
                     : L"管理者として実行してください。";
    }
    throw AppError(code, std::move(what), std::move(shownPath), std::move(advice));
}

std::wstring FromTo(const std::wstring& from, const std::wstring& to)
{
    return from + L"\r\n→ " + to;
}

} // namespace

bool Win32SetupHost::IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32SetupHost::IsThisProgram(const std::wstring& path)
{
    // Read from the file itself: loading it could give the system's own notepad.exe instead.
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        FailFileOperation(L"ファイルを確認できませんでした。", path, path);
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        FailFileOperation(L"ファイルを確認できませんでした。", path, path);
    if (size.QuadPart > kLargestProgram) return false;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.get(), image.data(), static_cast<DWORD>(image.size()), &read, nullptr))
        FailFileOperation(L"ファイルを確認できませんでした。", path, path);
    image.resize(read);
    // Every version of this program names itself the same way in its version resource.
    return FindVersionString(FindVersionResource(image), L"InternalName") == kInternalName;
}

void Win32SetupHost::RemoveFile(const std::wstring& path)
{
    if (!::DeleteFileW(path.c_str()))
        FailFileOperation(L"ファイルを削除できませんでした。", path, path);
}

void Win32SetupHost::RenameFile(const std::wstring& from, const std::wstring& to)
{
    if (!::MoveFileW(from.c_str(), to.c_str()))
        FailFileOperation(L"ファイルの名前を変更できませんでした。", FromTo(from, to), from);
}

void Win32SetupHost::CopyFileOver(const std::wstring& from, const std::wstring& to)
{
    // Windows refuses to overwrite a read-only file; not every file system that the system
    // runs on does (Wine running as root writes it), so the program refuses it itself.
    if (IsReadOnly(to)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        FailFileOperation(L"ファイルをコピーできませんでした。", FromTo(from, to), to);
    }
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE))
        FailFileOperation(L"ファイルをコピーできませんでした。", FromTo(from, to), to);
}

bool Win32SetupHost::AskYesNo(std::wstring_view text, std::wstring_view title)
{
    // No icon and no default-button flag: Yes, the first button, is the default.
    return ::MessageBoxW(nullptr, std::wstring(text).c_str(), std::wstring(title).c_str(),
                         MB_YESNO) == IDYES;
}

} // namespace zn
