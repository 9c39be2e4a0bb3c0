// The program's start: it picks its role from the folder it runs from. As the installed
// notepad.exe it starts the registered editor with the command line Notepad would have had;
// from anywhere else it runs the set-up sequence. Both may open the registration window.
#pragma once

#include "setup/install_kind.h"
#include "setup/setup_host.h"

#include <string>
#include <string_view>

namespace zn {

struct OwnExecutable {
    std::wstring folder;   // canonical: the file system's letter case and long names
    std::wstring baseName; // file name without its extension
};

enum class EditorProbe {
    NoSuchFile,  // nothing there, or a folder
    ThisProgram, // the running executable itself, however the path spells it
    File,
};

// Everything Main asks of the system. Methods throw AppError where the system fails.
class StartupHost {
public:
    virtual ~StartupHost() = default;
    virtual OwnExecutable LocateOwnExecutable() = 0;
    virtual std::wstring WindowsFolder() = 0; // throws when it cannot be determined
    virtual std::wstring FullCommandLine() = 0;
    virtual std::wstring ReadEditorPath() = 0; // the empty text when none is registered
    virtual EditorProbe ProbeEditor(const std::wstring& path) = 0;
    // Starts the editor (a normal, activated window) and waits for it; returns its exit code.
    virtual int StartEditorAndWait(const std::wstring& path, std::wstring commandLine) = 0;
    virtual SetupHost& Setup() = 0;
    // Shows the registration window and runs it until it closes; returns the exit code. `kind`
    // is the installation the window tells the user about.
    virtual int OpenRegistrationWindow(InstallKind kind) = 0;
};

enum class Role { Launcher, Setup };

// Launcher when the program's own folder is the Windows folder, compared exactly (letter case
// included); setup otherwise.
Role DecideRole(std::wstring_view ownFolder, std::wstring_view windowsFolder);

// Returns the process's exit code: the editor's in the launcher role, 0 otherwise.
int Main(StartupHost& host);

} // namespace zn
