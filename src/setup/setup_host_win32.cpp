#include "setup/setup_host_win32.h"

#include "common/app_error.h"
#include "common/pe_image.h"
#include "common/unique_handle.h"
#include "resources/names.h"
#include "setup/version_resource.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace zn {
namespace {

constexpr std::wstring_view kInternalName = ZN_WIDE(ZN_INTERNAL_NAME);
constexpr LONGLONG kLargestProgram = 64 * 1024 * 1024; // notepad.exe is far smaller
// In the global namespace, so that set-ups in every session of the machine exclude each other.
constexpr wchar_t kSetupMutexName[] = L"Global\\ZanvekNotepadSetup";
constexpr wchar_t kCannotCheck[] = L"ファイルを確認できませんでした。";

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
        advice = IsReadOnly(blocked) ? kClearReadOnlyAdvice : L"管理者として実行してください。";
    }
    throw AppError(code, std::move(what), std::move(shownPath), std::move(advice));
}

std::wstring FromTo(const std::wstring& from, const std::wstring& to)
{
    return from + L"\r\n→ " + to;
}

// Windows refuses to replace a read-only file; not every file system that the system runs on
// does (Wine running as root writes it), so the program refuses it itself.
void RefuseReadOnly(const std::wstring& what, const std::wstring& from, const std::wstring& to)
{
    if (!IsReadOnly(to)) return;
    ::SetLastError(ERROR_ACCESS_DENIED);
    FailFileOperation(what, FromTo(from, to), to);
}

// Opens an existing file to read it. Sharing no writing: a file that another program is
// writing cannot be told apart, so it fails like any file that cannot be opened.
UniqueFile OpenToRead(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) FailFileOperation(kCannotCheck, path, path);
    return file;
}

LONGLONG SizeOf(const UniqueFile& file, const std::wstring& path)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) FailFileOperation(kCannotCheck, path, path);
    return size.QuadPart;
}

// Up to `count` bytes from the file's current position; fewer only at its end.
std::vector<std::uint8_t> ReadUpTo(const UniqueFile& file, const std::wstring& path,
                                   std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::size_t total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 20));
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + total, chunk, &read, nullptr))
            FailFileOperation(kCannotCheck, path, path);
        if (read == 0) break;
        total += read;
    }
    bytes.resize(total);
    return bytes;
}

class MutexLock final : public SetupLock {
public:
    explicit MutexLock(UniqueHandle mutex) : m_mutex(std::move(mutex)) {}
    ~MutexLock() override { ::ReleaseMutex(m_mutex.get()); }

private:
    UniqueHandle m_mutex; // owned by the thread that made it, which also lets it go
};

} // namespace

bool Win32SetupHost::IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileKind Win32SetupHost::Inspect(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileKind::None;
        FailFileOperation(kCannotCheck, path, path);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::None;

    // Read from the file itself: loading it could give the system's own notepad.exe instead.
    const UniqueFile file = OpenToRead(path);
    const LONGLONG size = SizeOf(file, path);
    const std::vector<std::uint8_t> image = ReadUpTo(
        file, path, size > kLargestProgram ? kProgramHeadBytes : static_cast<std::size_t>(size));
    if (!IsProgramImage(image)) return FileKind::Other;
    if (size > kLargestProgram) return FileKind::Program;
    // Every version of this program names itself the same way in its version resource.
    return NamesThisProgram(FindVersionResource(image)) ? FileKind::ThisProgram : FileKind::Program;
}

bool Win32SetupHost::SameBytes(const std::wstring& a, const std::wstring& b)
{
    if (!IsFile(a) || !IsFile(b)) return false;
    const UniqueFile fileA = OpenToRead(a);
    const UniqueFile fileB = OpenToRead(b);
    if (SizeOf(fileA, a) != SizeOf(fileB, b)) return false;
    constexpr std::size_t kChunk = 1 << 20;
    for (;;) {
        const std::vector<std::uint8_t> chunkA = ReadUpTo(fileA, a, kChunk);
        if (chunkA != ReadUpTo(fileB, b, kChunk)) return false;
        if (chunkA.size() < kChunk) return true;
    }
}

void Win32SetupHost::CopyFileExclusive(const std::wstring& from, const std::wstring& to)
{
    if (!::CopyFileW(from.c_str(), to.c_str(), TRUE))
        FailFileOperation(L"ファイルをコピーできませんでした。", FromTo(from, to), to);
}

void Win32SetupHost::CopyFileOver(const std::wstring& from, const std::wstring& to)
{
    RefuseReadOnly(L"ファイルをコピーできませんでした。", from, to);
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE))
        FailFileOperation(L"ファイルをコピーできませんでした。", FromTo(from, to), to);
}

void Win32SetupHost::MoveFileExclusive(const std::wstring& from, const std::wstring& to)
{
    if (!::MoveFileW(from.c_str(), to.c_str()))
        FailFileOperation(L"ファイルの名前を変更できませんでした。", FromTo(from, to), from);
}

void Win32SetupHost::MoveFileOver(const std::wstring& from, const std::wstring& to)
{
    RefuseReadOnly(L"ファイルを置き換えられませんでした。", from, to);
    // Without MOVEFILE_COPY_ALLOWED the move is a rename on one volume: it happens wholly or
    // not at all.
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        FailFileOperation(L"ファイルを置き換えられませんでした。", FromTo(from, to), to);
}

void Win32SetupHost::RemoveFile(const std::wstring& path)
{
    // Refused here as a replacement is, whatever the file system would allow.
    if (IsReadOnly(path))
        ::SetLastError(ERROR_ACCESS_DENIED);
    else if (::DeleteFileW(path.c_str()))
        return;
    FailFileOperation(L"ファイルを削除できませんでした。", path, path);
}

std::unique_ptr<SetupLock> Win32SetupHost::LockSetup()
{
    ::SetLastError(ERROR_SUCCESS);
    UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, kSetupMutexName));
    const DWORD error = ::GetLastError();
    // A set-up that made the mutex holds it until it ends. One started with administrator
    // rights makes it closed to one without them, which is then denied access: it runs, too.
    if (error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED)) return nullptr;
    if (!mutex)
        Fail(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE,
             L"セットアップを開始できませんでした。", kSetupMutexName);
    return std::make_unique<MutexLock>(std::move(mutex));
}

bool Win32SetupHost::AskYesNo(std::wstring_view text, std::wstring_view title)
{
    // No icon and no default-button flag: Yes, the first button, is the default.
    return ::MessageBoxW(nullptr, std::wstring(text).c_str(), std::wstring(title).c_str(),
                         MB_YESNO) == IDYES;
}

} // namespace zn
