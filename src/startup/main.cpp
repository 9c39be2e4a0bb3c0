#include "startup/main.h"

#include "common/error_report.h"
#include "startup/command_line.h"
#include "setup/setup_sequence.h"

namespace zn {
namespace {

int RunSetupRole(StartupHost& host, const OwnExecutable& self, const std::wstring& windowsFolder)
{
    const SetupPaths paths = MakeSetupPaths(windowsFolder, self.folder, self.baseName);
    return RunSetupSequence(host.Setup(), paths) ? host.OpenRegistrationWindow(InstallKind::Copy)
                                                 : kExitOk;
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
