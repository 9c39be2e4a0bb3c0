#include "startup/main.h"

#include "common/decimal.h"
#include "common/error_report.h"
#include "common/full_path.h"
#include "common/pe_image.h"
#include "resources/names.h"
#include "setup/setup_sequence.h"
#include "startup/command_line.h"

namespace zn {
namespace {

constexpr wchar_t kReRegister[] = L"登録するエディタの .exe ファイルを選び直してください。";

int RunSetupRole(StartupHost& host, const std::wstring& windowsFolder)
{
    const SetupPaths paths = MakeSetupPaths(windowsFolder);
    const std::optional<InstallKind> installed =
        RunSetupSequence(host.Setup(), host.Redirection(), paths);
    return installed ? OpenWindowAfterInstall(host, windowsFolder, *installed) : kExitOk;
}

// The system reports the Windows folder as its settings spell it (C:\WINDOWS on many machines),
// while the own folder is the file system's spelling (C:\Windows). Only when the two texts
// differ is the Windows folder looked up in the file system, and then compared exactly again.
Role RoleOf(StartupHost& host, const OwnExecutable& self, const std::wstring& windowsFolder)
{
    if (DecideRole(self.folder, windowsFolder) == Role::Launcher) return Role::Launcher;
    const std::wstring canonical = host.CanonicalFolder(windowsFolder);
    return canonical.empty() ? Role::Setup : DecideRole(self.folder, canonical);
}

// What Win32 path rules make of a file name: trailing dots and blanks are dropped, so
// "ed.bat. " opens ed.bat.
std::wstring_view AsOpened(std::wstring_view fileName)
{
    while (!fileName.empty() && (fileName.back() == L'.' || fileName.back() == L' '))
        fileName.remove_suffix(1);
    return fileName;
}

// CreateProcessW hands a file named .bat or .cmd to the command interpreter, which would run
// commands hidden in the document's name.
bool IsCommandScriptName(std::wstring_view path)
{
    const std::wstring_view name = AsOpened(FileNamePart(path));
    if (name.size() < 4) return false;
    std::wstring extension(name.substr(name.size() - 4));
    for (wchar_t& c : extension) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return extension == L".bat" || extension == L".cmd";
}

// The document Notepad was asked to open is not opened when the window opens instead: the
// user first has to choose an editor.
int RunLauncherRole(StartupHost& host, const OwnExecutable& self)
{
    // Under any other name this is the copy the system sends Notepad's starts to, with the
    // started program's name in front of Notepad's command line.
    const bool redirected = !IsNotepadExe(self.fileName);
    const InstallKind kind = redirected ? InstallKind::Redirect : InstallKind::Copy;

    const std::wstring fullCommandLine = host.FullCommandLine();
    std::wstring_view tail = CommandLineTail(fullCommandLine);
    if (redirected) tail = WithoutNotepadToken(tail);
    if (tail.empty()) return host.OpenRegistrationWindow(kind);
    const std::wstring_view argument = ApplyApostropheRule(tail);

    const std::wstring editor = host.ReadEditorPath();
    // A relative path would be looked up from the caller's current folder, which may be a
    // download folder holding a file of that name.
    if (!IsFullPath(editor)) return host.OpenRegistrationWindow(kind);
    // The system would redirect a notepad.exe back here, without end.
    if (redirected && IsNotepadExe(AsOpened(FileNamePart(editor))))
        return host.OpenRegistrationWindow(kind);
    const EditorFile file = host.OpenEditor(editor);
    // Starting ourselves would start ourselves again, without end.
    if (file.probe != EditorProbe::File) return host.OpenRegistrationWindow(kind);

    if (IsCommandScriptName(editor))
        Fail(kErrorEditorNotAProgram,
             L"エディタがバッチファイル (.bat または .cmd) のため、起動しませんでした。", editor,
             kReRegister);
    if (!IsProgramImage(file.head))
        Fail(kErrorEditorNotAProgram,
             L"エディタが Windows のプログラムではないため、起動しませんでした。", editor,
             kReRegister);
    std::wstring command = BuildLaunchCommand(editor, argument);
    if (command.size() >= kCommandLineLimit)
        Fail(kErrorCommandLineTooLong,
             L"コマンドラインが長すぎるため、エディタを起動しませんでした。", editor,
             L"エディタに渡すコマンドラインは " +
                 ToDecimal(static_cast<std::int64_t>(kCommandLineLimit - 1)) +
                 L" 文字までです (今回は " + ToDecimal(static_cast<std::int64_t>(command.size())) +
                 L" 文字)。");
    return host.StartEditorAndWait(editor, std::move(command));
}

} // namespace

std::wstring InstalledLauncherPath(std::wstring_view windowsFolder, InstallKind kind)
{
    const std::wstring_view name =
        kind == InstallKind::Copy ? L"notepad.exe" : ZN_WIDE(ZN_ORIGINAL_FILENAME);
    return std::wstring(windowsFolder) + L"\\" + std::wstring(name);
}

WindowSettings RegistrationWindowSettings(Role opener, InstallKind kind, ElevationType elevation)
{
    WindowSettings settings;
    settings.kind = kind;
    if (opener == Role::Setup) {
        if (elevation == ElevationType::Full) settings.drop = DropMode::Classic;
    } else {
        settings.offerDefaultApp = kind == InstallKind::Redirect;
    }
    return settings;
}

int OpenWindowAfterInstall(StartupHost& host, std::wstring_view windowsFolder, InstallKind kind)
{
    // An elevated window gets no OLE drop from Explorer (Windows blocks drag and drop from a
    // lower integrity level), and the setting would go to the HKEY_CURRENT_USER of whoever's
    // credentials were given at the elevation prompt. The launcher, started as the desktop's
    // user without a command line, opens the window where both are right.
    const ElevationType elevation = host.ProcessElevationType();
    if (elevation == ElevationType::Full) {
        const std::wstring launcher = InstalledLauncherPath(windowsFolder, kind);
        // Only a launcher started after the request shows the window set-up asked for.
        const std::uint64_t requested = host.SystemTime();
        // A shell that is hung, or took the request and never carried it out, must not leave
        // the user without a window. Should its launcher still come later, both windows work.
        if (host.StartAsDesktopUser(launcher, kDesktopStartLimit) &&
            host.WaitForRegistrationWindow(launcher, requested, kLauncherWindowLimit))
            return kExitOk;
    }
    return host.OpenRegistrationWindow(RegistrationWindowSettings(Role::Setup, kind, elevation));
}

Role DecideRole(std::wstring_view ownFolder, std::wstring_view windowsFolder)
{
    return ownFolder == windowsFolder ? Role::Launcher : Role::Setup;
}

int Main(StartupHost& host)
{
    const OwnExecutable self = host.LocateOwnExecutable();
    const std::wstring windowsFolder = host.WindowsFolder();
    if (RoleOf(host, self, windowsFolder) == Role::Setup) return RunSetupRole(host, windowsFolder);
    return RunLauncherRole(host, self);
}

} // namespace zn
