#include "startup/main.h"

#include "common/error_report.h"
#include "resources/names.h"
#include "startup/command_line.h"
#include "setup/setup_sequence.h"

namespace zn {
namespace {

int RunSetupRole(StartupHost& host, const OwnExecutable& self, const std::wstring& windowsFolder)
{
    const SetupPaths paths = MakeSetupPaths(windowsFolder, self.path);
    const std::optional<InstallKind> installed =
        RunSetupSequence(host.Setup(), host.Redirection(), paths);
    return installed ? OpenWindowAfterInstall(host, windowsFolder, *installed) : kExitOk;
}

// The document Notepad was asked to open is not opened when the window opens instead: the
// user first has to choose an editor.
int RunLauncherRole(StartupHost& host)
{
    const std::wstring fullCommandLine = host.FullCommandLine();
    const std::wstring_view tail = CommandLineTail(fullCommandLine);
    if (tail.empty()) return host.OpenRegistrationWindow(InstallKind::Copy);
    const std::wstring_view argument = ApplyApostropheRule(tail);

    const std::wstring editor = host.ReadEditorPath();
    if (editor.empty()) return host.OpenRegistrationWindow(InstallKind::Copy);
    // Starting ourselves would start ourselves again, without end.
    if (host.ProbeEditor(editor) != EditorProbe::File)
        return host.OpenRegistrationWindow(InstallKind::Copy);
    return host.StartEditorAndWait(editor, BuildLaunchCommand(editor, argument));
}

} // namespace

std::wstring InstalledLauncherPath(std::wstring_view windowsFolder, InstallKind kind)
{
    const std::wstring_view name =
        kind == InstallKind::Copy ? L"notepad.exe" : ZN_WIDE(ZN_ORIGINAL_FILENAME);
    return std::wstring(windowsFolder) + L"\\" + std::wstring(name);
}

int OpenWindowAfterInstall(StartupHost& host, std::wstring_view windowsFolder, InstallKind kind)
{
    // An elevated window gets no drop from Explorer (Windows blocks OLE drag and drop from a
    // lower integrity level), and the setting would go to the HKEY_CURRENT_USER of whoever's
    // credentials were given at the elevation prompt. The launcher, started as the desktop's
    // user without a command line, opens the window where both are right.
    if (host.ProcessElevationType() == ElevationType::Full &&
        host.StartAsDesktopUser(InstalledLauncherPath(windowsFolder, kind)))
        return kExitOk;
    return host.OpenRegistrationWindow(kind);
}

Role DecideRole(std::wstring_view ownFolder, std::wstring_view windowsFolder)
{
    return ownFolder == windowsFolder ? Role::Launcher : Role::Setup;
}

int Main(StartupHost& host)
{
    const OwnExecutable self = host.LocateOwnExecutable();
    const std::wstring windowsFolder = host.WindowsFolder();
    if (DecideRole(self.folder, windowsFolder) == Role::Setup)
        return RunSetupRole(host, self, windowsFolder);
    return RunLauncherRole(host);
}

} // namespace zn
