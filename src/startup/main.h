// The program's start: it picks its role from the folder it runs from. As the installed
// notepad.exe, or as the copy the system redirects Notepad's starts to, it starts the registered
// editor with the command line Notepad would have had; from anywhere else it runs the set-up
// sequence. Both may open the registration window.
#pragma once

#include "common/editor_check.h"
#include "setup/install_kind.h"
#include "setup/setup_host.h"
#include "window/window_settings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

class RedirectHost;

struct OwnExecutable {
    std::wstring folder;   // canonical: the file system's letter case and long names
    std::wstring fileName; // canonical, with its extension
    std::wstring path;     // the running file as the system names it
};

// Where a document named on the command line is, as the file system answers.
enum class DocumentPlace {
    File,      // an existing file
    NewFile,   // no such file, in an existing folder (Notepad would offer to create it)
    Elsewhere, // anything else: a folder, a missing folder, a name the system refuses
};

// A token's elevation, as the system reports it.
enum class ElevationType {
    Default, // no split token: no elevation prompt (an unprompted administrator, or a user)
    Full,    // elevated, with an unelevated linked token: started "as administrator"
    Limited, // the unelevated half of a split token
};

enum class Role { Launcher, Setup };

// The registration window that `opener` opens for an installation of `kind`, in a process whose
// token has `elevation`. Set-up's own window in an elevated process takes Explorer's classic
// drop; every other window the OLE drop (under Wine every process reports a Full token: the
// launcher's window keeps the OLE drop there too). Only the launcher's window of the redirection
// offers the default-app page: set-up may run with another administrator's credentials, whose
// file associations are not the desktop user's.
WindowSettings RegistrationWindowSettings(Role opener, InstallKind kind, ElevationType elevation);

// How long set-up waits for the desktop's shell to take its request to start the launcher, and
// then for the launcher's window, before it opens its own window.
inline constexpr std::chrono::milliseconds kDesktopStartLimit{10000};
inline constexpr std::chrono::milliseconds kLauncherWindowLimit{10000};

// Everything Main asks of the system. Methods throw AppError where the system fails.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual OwnExecutable LocateOwnExecutable() = 0;
    virtual std::wstring WindowsFolder() = 0; // throws when it cannot be determined
    // The file system's spelling of an existing folder, as LocateOwnExecutable gives its own;
    // the empty text when the folder cannot be opened.
    virtual std::wstring CanonicalFolder(const std::wstring& folder) = 0;
    virtual std::wstring FullCommandLine() = 0;
    // The empty text when none is registered; throws when the setting cannot be read for any
    // other reason than its absence.
    virtual std::wstring ReadEditorPath() = 0;
    // What ProbeEditor tells of `path`. A File stays open, others allowed to read it only,
    // until StartEditorAndWait has started it: what was checked is what starts. Throws for
    // something there that cannot be read.
    virtual EditorFile OpenEditor(const std::wstring& path) = 0;
    // One attribute query of a full path, which may be kMaxPath characters or more.
    virtual DocumentPlace PlaceOfDocument(const std::wstring& path) = 0;
    // The process's environment variable `name`; nullopt when it is not set.
    virtual std::optional<std::wstring> Environment(const std::wstring& name) = 0;
    // Sets it for this process and every process it starts from now on.
    virtual void SetEnvironment(const std::wstring& name, const std::wstring& value) = 0;
    // Starts the editor (a normal, activated window) and waits for it; returns its exit code.
    // Throws, with the system's reason, when the system refuses to start it.
    virtual int StartEditorAndWait(const std::wstring& path, std::wstring commandLine) = 0;
    virtual SetupHost& Setup() = 0;
    virtual RedirectHost& Redirection() = 0; // the other way of installing, for set-up
    // Shows the registration window and runs it until it closes; returns the exit code.
    virtual int OpenRegistrationWindow(const WindowSettings& settings) = 0;
    // The launcher's window; `kind` is the installation the window tells the user about.
    int OpenRegistrationWindow(InstallKind kind)
    {
        return OpenRegistrationWindow(
            RegistrationWindowSettings(Role::Launcher, kind, ElevationType::Default));
    }
    // The elevation of this process's token; Default when it cannot be told.
    virtual ElevationType ProcessElevationType() = 0;
    // Asks the desktop shell's own process to start `program`, without arguments, as the
    // desktop's user (unelevated). False when any step of the way fails, or when `limit` passes
    // first (a hung shell may still carry the request out later).
    virtual bool StartAsDesktopUser(const std::wstring& program,
                                    std::chrono::milliseconds limit) = 0;
    // The system's time, in 100 ns units since 1601, as process creation times are given.
    virtual std::uint64_t SystemTime() = 0;
    // Waits up to `limit` for a registration window shown by a process of `program` that was
    // started at `startedAfter` or later. False when none appeared in time.
    virtual bool WaitForRegistrationWindow(const std::wstring& program, std::uint64_t startedAfter,
                                           std::chrono::milliseconds limit) = 0;
};

// Launcher when the program's own folder is the Windows folder, compared exactly (letter case
// included); setup otherwise.
Role DecideRole(std::wstring_view ownFolder, std::wstring_view windowsFolder);

// Returns the process's exit code: the editor's in the launcher role, 0 otherwise.
int Main(StartupHost& host);

// The program that plays Notepad's part after an installation of `kind`.
std::wstring InstalledLauncherPath(std::wstring_view windowsFolder, InstallKind kind);

// After a successful installation. Set-up run "as administrator" (ElevationType::Full) has the
// installed launcher open the registration window as the desktop's user, waits for that window
// and returns 0; otherwise, or when the start fails or either wait passes its limit, it opens
// the window itself. Returns the exit code.
int OpenWindowAfterInstall(StartupHost& host, std::wstring_view windowsFolder, InstallKind kind);

} // namespace zn
