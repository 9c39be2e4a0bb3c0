#include "startup/startup_host_win32.h"

#include "common/editor_probe_win32.h"
#include "common/error_report.h"
#include "common/error_report_win32.h"
#include "common/unique_handle.h"
#include "common/win32_text.h"
#include "settings/editor_setting.h"
#include "setup/redirection_win32.h"
#include "setup/setup_host_win32.h"
#include "startup/desktop_start_win32.h"
#include "startup/paths.h"
#include "startup/windows_folder_win32.h"
#include "window/fmain_win32.h"

namespace zn {
namespace {

// Opens a file only to read its attributes; never a folder. Leaves INVALID_HANDLE_VALUE when
// there is no such file.
UniqueFile OpenForAttributes(const std::wstring& path)
{
    return UniqueFile(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The file system's own spelling of an open file's or folder's path (its letter case, long
// names, and the target of a link), without the "\\?\" prefix; the empty text when the file
// system cannot tell.
std::wstring FinalPathOf(const UniqueFile& file)
{
    return StripExtendedPrefix(ReadGrowing([&file](wchar_t* buffer, DWORD capacity) {
        return ::GetFinalPathNameByHandleW(file.get(), buffer, capacity,
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }));
}

} // namespace

Win32StartupHost::Win32StartupHost() = default;
Win32StartupHost::~Win32StartupHost() = default;

OwnExecutable Win32StartupHost::LocateOwnExecutable()
{
    constexpr wchar_t kWhat[] = L"このプログラム自身の場所を取得できませんでした。";
    const std::wstring modulePath = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    });
    if (modulePath.empty()) FailWithLastError(kWhat);

    // The path the process was started by may differ in letter case or use short names; the
    // file system's own spelling is what compares equal to the Windows folder.
    const UniqueFile self = OpenForAttributes(modulePath);
    if (!self) FailWithLastError(kWhat, modulePath);
    std::wstring ownPath = FinalPathOf(self);
    if (ownPath.empty()) ownPath = StripExtendedPrefix(modulePath); // some file systems cannot tell
    const FolderAndName parts = SplitFolder(ownPath);
    return {std::wstring(parts.folder), std::wstring(parts.name), modulePath};
}

std::wstring Win32StartupHost::WindowsFolder()
{
    return zn::WindowsFolder();
}

std::wstring Win32StartupHost::CanonicalFolder(const std::wstring& folder)
{
    // Backup semantics is what lets CreateFileW open a folder; reading its attributes is all
    // the access that asking for its name needs.
    const UniqueFile handle(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    return handle ? FinalPathOf(handle) : std::wstring();
}

std::wstring Win32StartupHost::FullCommandLine()
{
    return ::GetCommandLineW();
}

std::wstring Win32StartupHost::ReadEditorPath()
{
    return zn::ReadEditorPath();
}

EditorFile Win32StartupHost::OpenEditor(const std::wstring& path)
{
    return ProbeEditor(path, &m_editorFile);
}

DocumentPlace Win32StartupHost::PlaceOfDocument(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(Win32PathOf(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? DocumentPlace::Elsewhere
                                                            : DocumentPlace::File;
    // Not found in a folder that is there; a folder on the way missing is ERROR_PATH_NOT_FOUND.
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? DocumentPlace::NewFile
                                                    : DocumentPlace::Elsewhere;
}

std::optional<std::wstring> Win32StartupHost::Environment(const std::wstring& name)
{
    ::SetLastError(ERROR_SUCCESS);
    std::wstring value = ReadGrowing([&name](wchar_t* buffer, DWORD capacity) {
        return ::GetEnvironmentVariableW(name.c_str(), buffer, capacity);
    });
    if (value.empty() && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return value;
}

void Win32StartupHost::SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    if (!::SetEnvironmentVariableW(name.c_str(), value.c_str()))
        FailWithLastError(L"環境変数を設定できませんでした。", name);
}

int Win32StartupHost::StartEditorAndWait(const std::wstring& path, std::wstring commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // The path goes in as the application name, so nothing is searched for; a long one in its
    // "\\?\" form, the only one Win32 takes. CreateProcessW may write into the command line,
    // hence the local copy.
    const BOOL ok = ::CreateProcessW(Win32PathOf(path).c_str(), commandLine.data(), nullptr,
                                     nullptr, FALSE, 0, nullptr, nullptr, &startup, &started);
    const DWORD error = ::GetLastError();
    // Started or not, the file checked by OpenEditor need not be held any longer: while the
    // editor runs, others may replace it.
    m_editorFile.reset();
    if (!ok) {
        ::SetLastError(error);
        FailWithLastError(L"エディタを起動できませんでした。", path);
    }
    const UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    thread.reset(); // only the process is waited for

    // Callers that wait for Notepad (a version control tool waiting for a commit message)
    // must not go on before the user has closed the editor.
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode))
        FailWithLastError(L"エディタの終了を待てませんでした。", path);
    return static_cast<int>(exitCode);
}

SetupHost& Win32StartupHost::Setup()
{
    if (!m_setup) m_setup = std::make_unique<Win32SetupHost>();
    return *m_setup;
}

RedirectHost& Win32StartupHost::Redirection()
{
    if (!m_redirection) m_redirection = std::make_unique<Win32RedirectHost>();
    return *m_redirection;
}

int Win32StartupHost::OpenRegistrationWindow(const WindowSettings& settings)
{
    return RunRegistrationWindow(settings);
}

ElevationType Win32StartupHost::ProcessElevationType()
{
    return zn::ProcessElevationType();
}

bool Win32StartupHost::StartAsDesktopUser(const std::wstring& program,
                                          std::chrono::milliseconds limit)
{
    return StartAsDesktopUserWithin(program, limit);
}

std::uint64_t Win32StartupHost::SystemTime()
{
    return SystemTimeNow();
}

bool Win32StartupHost::WaitForRegistrationWindow(const std::wstring& program,
                                                 std::uint64_t startedAfter,
                                                 std::chrono::milliseconds limit)
{
    return WaitForRegistrationWindowOf(program, startedAfter, limit);
}

} // namespace zn
