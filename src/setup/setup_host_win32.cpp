#include "setup/setup_host_win32.h"

#include "common/app_error.h"
#include "common/decimal.h"
#include "common/pe_image.h"
#include "common/security_win32.h"
#include "common/unique_handle.h"
#include "common/win32_text.h"
#include "resources/names.h"
#include "setup/access_advice.h"
#include "setup/program_copy.h"
#include "setup/registry_store.h"
#include "setup/version_resource.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace zn {
namespace {

constexpr LONGLONG kLargestProgram = 64 * 1024 * 1024; // notepad.exe is far smaller
// In the global namespace, so that set-ups in every session of the machine exclude each other.
constexpr wchar_t kSetupMutexName[] = L"Global\\ZanvekNotepadSetup";
constexpr wchar_t kCannotCheck[] = L"ファイルを確認できませんでした。";

bool IsReadOnly(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool IsProgramName(std::wstring_view path)
{
    return path.size() >= 4 && SameIgnoringCase(path.substr(path.size() - 4), L".exe");
}

std::wstring_view FileNameOf(std::wstring_view path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// `blocked` is the file whose protection may be the reason: a read-only one needs its
// attribute cleared; anything else denied needs administrator rights, or, where the run has
// them, is the file's own permissions or a program that is running.
[[noreturn]] void FailFileOperation(std::wstring what, std::wstring shownPath,
                                    const std::wstring& blocked)
{
    DWORD code = ::GetLastError();
    if (code == ERROR_SUCCESS) code = ERROR_GEN_FAILURE;
    std::wstring advice;
    if (code == ERROR_ACCESS_DENIED || code == ERROR_PRIVILEGE_NOT_HELD) {
        advice = IsReadOnly(blocked)
                     ? std::wstring(kClearReadOnlyAdvice)
                     : AccessDeniedAdvice(IsProcessElevated(), OwnerOfFile(blocked),
                                          IsProgramName(blocked) ? FileNameOf(blocked) : L"");
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

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> IdentityOf(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Whether `file` is the file the process's image was loaded from. The loader's name for the
// image (GetMappedFileNameW: "\Device\HarddiskVolume3\..." on Windows, "\??\C:\..." under Wine)
// may differ from any other name of the file in letter case, short names or the volume's
// spelling; the file's identity does not. So that name is opened again and the two compared.
bool IsRunningImage(HANDLE file)
{
    const std::wstring mapped = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return ::K32GetMappedFileNameW(::GetCurrentProcess(), ::GetModuleHandleW(nullptr), buffer,
                                       capacity);
    });
    if (mapped.empty()) return false;
    constexpr std::wstring_view kDosDevices = L"\\??\\";
    const std::wstring openable = mapped.starts_with(kDosDevices)
                                      ? L"\\\\?\\" + mapped.substr(kDosDevices.size())
                                      : L"\\\\?\\GLOBALROOT" + mapped;
    const UniqueFile image(::CreateFileW(openable.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!image) return false;
    const std::optional<FileIdentity> a = IdentityOf(file);
    return a && a == IdentityOf(image.get());
}

std::wstring Hex(std::uint64_t value)
{
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

class MutexLock final : public SetupLock {
public:
    explicit MutexLock(UniqueHandle mutex) : m_mutex(std::move(mutex)) {}
    ~MutexLock() override { ::ReleaseMutex(m_mutex.get()); }

private:
    UniqueHandle m_mutex; // owned by the thread that made it, which also lets it go
};

} // namespace

void Win32SetupHost::HoldRunningImage()
{
    constexpr wchar_t kWhat[] = L"セットアップのファイルを開けませんでした。";
    const std::wstring path = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    });
    if (path.empty()) FailFileOperation(kWhat, L"", L"");
    // Read sharing only: from here on nobody can write, rename or delete the file set-up
    // installs from, so a file put at its path while a prompt waits is never installed.
    UniqueFile image(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!image) FailFileOperation(kWhat, path, path);
    if (!IsRunningImage(image.get()))
        Fail(kErrorNotTheRunningImage,
             L"実行中のセットアップのファイルであることを確かめられないため、何も変更しませんでした"
             L"。",
             path,
             L"セットアップのファイルが実行中に入れ替えられた可能性があります。"
             L"ダウンロードし直してから、もう一度実行してください。");
    m_image = std::move(image);
}

std::wstring Win32SetupHost::TemporaryPath(const std::wstring& folder)
{
    for (;;) {
        const std::wstring path =
            folder + L"\\" +
            TemporaryFileName(Hex(::GetCurrentProcessId()) + L"-" + Hex(++m_temporaryCount));
        // A name in use (left by an earlier run of the same process id) is skipped; any other
        // answer is for the write to report.
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
    }
}

void Win32SetupHost::WriteProgramCopy(const std::wstring& to)
{
    constexpr wchar_t kWhat[] = L"プログラムを書き込めませんでした。";
    if (!m_image) Fail(kErrorUnexpected, kWhat, to);
    UniqueFile target(::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) FailFileOperation(kWhat, to, to);
    std::vector<std::uint8_t> chunk(1u << 16);
    std::uint64_t offset = 0;
    for (;;) {
        // Positioned reads: the held handle's own file position is nobody's concern.
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!::ReadFile(m_image.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read,
                        &at) &&
            ::GetLastError() != ERROR_HANDLE_EOF)
            break;
        if (read == 0) {
            if (::FlushFileBuffers(target.get())) return;
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(target.get(), chunk.data(), read, &written, nullptr) || written != read)
            break;
        offset += read;
    }
    const DWORD error = ::GetLastError();
    target.reset();
    ::DeleteFileW(to.c_str());
    ::SetLastError(error);
    FailFileOperation(kWhat, to, to);
}

std::vector<std::wstring> Win32SetupHost::TemporaryFiles(const std::wstring& folder)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry{};
    const std::wstring pattern = folder + L"\\" + TemporaryFileName(L"*");
    const UniqueFind search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                               FindExSearchNameMatch, nullptr, 0));
    if (!search) return found;
    do {
        // The pattern also matches short names; only the long name counts.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            IsTemporaryFileName(entry.cFileName))
            found.push_back(folder + L"\\" + entry.cFileName);
    } while (::FindNextFileW(search.get(), &entry));
    return found;
}

bool Win32SetupHost::IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32SetupHost::IsReadOnly(const std::wstring& path)
{
    return zn::IsReadOnly(path);
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
