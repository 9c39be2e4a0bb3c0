// The demo: a user installs ZanvekNotepad from the Downloads folder, registers an editor by
// dragging it onto the registration window, and then opens text files "with Notepad" as the
// shell would (one whose path has blanks, unquoted, as the shell's classic verbs pass it; with
// the redirection, also through the default-app registration). Runs inside a throwaway Wine
// prefix and tells what happens at each step.
//   zn_demo.exe copy      a system that lets notepad.exe be replaced (Wine as it is): the copy
//                         over notepad.exe
//   zn_demo.exe redirect  a system that protects notepad.exe, as Windows does (the prefix's
//                         sfc.dll is the tests' stand-in): the redirection of Notepad's starts
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"
#include "setup/redirection_win32.h"

#include <ole2.h>

#include <cstdio>
#include <string>

using namespace zn::e2e;

namespace {

const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
const std::wstring kSetupPath = kDownloads + L"\\ZanvekNotepad.exe";
const std::wstring kEditorFolder = L"C:\\Program Files\\Demo Editor";
const std::wstring kEditor = kEditorFolder + L"\\DemoEditor.exe";
const std::wstring kDocuments = L"C:\\users\\Public\\Documents";
const std::wstring kMemo = kDocuments + L"\\memo.txt";
// The name Explorer gives every new text file: its blanks are what the classic verbs pass on
// unquoted.
const std::wstring kNewDocument = kDocuments + L"\\My Notes\\New Text Document.txt";
const std::wstring kRecord = L"C:\\users\\Public\\demo-editor-record.txt";
const std::wstring kRedirectCopy = kWindows + L"\\ZanvekNotepad.exe";
const std::wstring kSystemFolderNotepad = kWindows + L"\\system32\\notepad.exe";
const std::wstring kOptionsKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe";

void Say(const std::wstring& text)
{
    // The console speaks UTF-8 here; Wine passes it to the terminal unchanged.
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

[[noreturn]] void Stop(const std::wstring& why)
{
    Say(L"!! " + why);
    std::exit(1);
}

std::wstring Indent(std::wstring text)
{
    for (std::size_t at = 0; (at = text.find(L"\r\n", at)) != std::wstring::npos; at += 2)
        text.replace(at, 2, L"\n");
    std::wstring out = L"     | ";
    for (const wchar_t c : text)
        out += c == L'\n' ? std::wstring(L"\n     | ") : std::wstring(1, c);
    return out;
}

// What the system's sfc.dll answers for the Windows folder's notepad.exe, asked as set-up asks.
bool NotepadIsProtected()
{
    return zn::IsProtectedSystemFile(kNotepad);
}

// The Debugger value on the notepad.exe key (64-bit view), or "(none)".
std::wstring DebuggerValue()
{
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kOptionsKey.c_str(), L"Debugger",
                       RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, text,
                       &size) != ERROR_SUCCESS)
        return L"(none)";
    return text;
}

void PrepareFiles()
{
    MakeFolders(kDownloads);
    MakeFolders(kEditorFolder);
    MakeFolders(kDocuments);
    ::CopyFileW(ProgramPath().c_str(), kSetupPath.c_str(), FALSE);
    ::CopyFileW(StandInEditorPath().c_str(), kEditor.c_str(), FALSE);
    WriteBytes(kMemo, "Hello from the demo.\r\n");
    MakeFolders(kDocuments + L"\\My Notes");
    WriteBytes(kNewDocument, "A new text file.\r\n");
}

// A REG_SZ value of HKEY_LOCAL_MACHINE (64-bit view), or "(none)"; the empty name is the default.
std::wstring MachineText(const std::wstring& key, const wchar_t* name)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                       nullptr, text, &size) != ERROR_SUCCESS)
        return L"(none)";
    return text;
}

// Steps 0 and 1: the files in place, what the system says of notepad.exe (`system` describes
// the prefix), set-up started from Downloads and the install prompt answered Yes; returns the
// window.
OpenedWindow RunSetupAndInstall(Process& setup, const std::wstring& system)
{
    PrepareFiles();
    Say(L"0. " + system + L": SfcIsFileProtected answers " +
        std::wstring(NotepadIsProtected() ? L"TRUE" : L"FALSE") +
        L" for C:\\windows\\notepad.exe.");
    Say(L"1. The user starts " + kSetupPath +
        L" (downloaded, so not in the Windows folder: set-up).");
    setup = Start(kSetupPath, L"\"" + kSetupPath + L"\"", kDownloads);
    const HWND prompt = WaitForMessageBox(setup.Id(), kInstallTitle);
    if (prompt == nullptr) Stop(L"the install prompt did not appear");
    Say(L"   Message box \"" + kInstallTitle + L"\":");
    Say(Indent(MessageBoxText(prompt)));
    Say(L"   The user answers Yes.");
    Answer(prompt, IDYES);
    OpenedWindow opened = WaitForOpenedWindow(setup);
    if (opened.window == nullptr) Stop(L"the registration window did not open");
    return opened;
}

// Tells who opened the window after set-up.
void TellWhoOpenedTheWindow(OpenedWindow& opened, Process& setup)
{
    if (opened.launcher.Id() != 0) {
        // Wine runs every program as an elevated administrator, as Windows runs set-up started
        // "as administrator".
        Say(L"   Set-up runs elevated, so it does not open the window itself (Windows would block "
            L"drops from Explorer into it): the desktop's shell (explorer.exe, process " +
            std::to_wstring(ParentIdOf(opened.launcher.Id())) + L") started " +
            opened.launcher.Image() + L" without a command line as the desktop's user.");
        Say(L"   Set-up ended with exit code " + std::to_wstring(setup.Wait()) +
            L"; the window belongs to process " + std::to_wstring(opened.launcher.Id()) + L".");
    }
    Say(L"   The registration window \"" + ControlText(opened.window) + L"\" opened:");
    Say(Indent(ControlText(::GetDlgItem(opened.window, kLabel2))));
}

// Step 3: the editor dragged onto the window, Yes, Close.
void RegisterTheEditor(OpenedWindow& opened, Process& setup)
{
    const HWND window = opened.window;
    Say(L"3. The user drags " + kEditor + L" onto the text box.");
    const DWORD effect = DragFilesOnto(CentreOf(::GetDlgItem(window, kText1)), {kEditor});
    Say(L"   The window told the drag source: " +
        std::wstring(effect == DROPEFFECT_COPY ? L"copy" : L"something else") +
        L" (the file stays where it is).");
    WaitForText(::GetDlgItem(window, kText1), kEditor);
    Say(L"   Text box: " + ControlText(::GetDlgItem(window, kText1)));
    Say(Indent(ControlText(::GetDlgItem(window, kLabel2))));
    Say(L"   The user clicks Yes.");
    ClickButton(window, kCmdYes);
    WaitForText(::GetDlgItem(window, kCmdNo), L"Close");
    Say(Indent(ControlText(::GetDlgItem(window, kLabel2))));
    Say(L"   Stored in HKEY_CURRENT_USER\\Software\\Kestrane\\ZanvekNOTEPAD: " + EditorSetting());
    Say(L"   The user clicks Close; the window's process ends with exit code " +
        std::to_wstring([&] {
            ClickButton(window, kCmdNo);
            return opened.Owner(setup).Wait();
        }()) +
        L".");
}

// What the stand-in editor received, told; true when it was given `document` and nothing else.
bool TellWhatTheEditorGot(const std::wstring& document)
{
    const EditorRecord received = ReadEditorRecord(kRecord);
    if (!received.present) Stop(L"the editor was not started");
    Say(L"   The editor that started: " + received.module);
    Say(L"   Its command line:        " + received.commandLine);
    for (std::size_t i = 0; i < received.argv.size(); ++i)
        Say(L"   argv[" + std::to_wstring(i) + L"]:                 " + received.argv[i]);
    return received.argv.size() == 2 && received.argv[1] == document;
}

void ExpectTheEditor()
{
    SetEnv(L"ZN_EDITOR_RECORD", kRecord);
    SetEnv(L"ZN_EDITOR_EXIT_CODE", L"0");
    ::DeleteFileW(kRecord.c_str());
}

// Step 4: `program` started with `commandLine`, as the system would start it; what the editor
// received. True when the editor was given `document` (the memo by default) and nothing else.
bool OpenTheMemo(const std::wstring& program, const std::wstring& commandLine,
                 const std::wstring& document = kMemo)
{
    ExpectTheEditor();
    Process launch = Start(program, commandLine);
    const int exitCode = launch.Wait();
    const bool alone = TellWhatTheEditorGot(document);
    Say(L"   " + program.substr(program.rfind(L'\\') + 1) +
        L" waited for the editor and ended with its exit code, " + std::to_wstring(exitCode) +
        L".");
    return alone;
}

int DemoCopy()
{
    const std::string systemNotepad = Checksum(ReadBytes(kNotepad));
    Process setup;
    OpenedWindow opened =
        RunSetupAndInstall(setup, L"This Wine prefix lets C:\\windows\\notepad.exe be replaced");
    Say(L"2. Installed: C:\\windows\\notepad.met now holds the system Notepad (" +
        std::wstring(systemNotepad == Checksum(ReadBytes(kBackup)) ? L"same bytes" : L"DIFFERENT") +
        L"), and C:\\windows\\notepad.exe is the program.");
    TellWhoOpenedTheWindow(opened, setup);
    RegisterTheEditor(opened, setup);

    Say(L"4. The shell opens " + kMemo + L" with Notepad: C:\\windows\\notepad.exe \"" + kMemo +
        L"\"");
    if (!OpenTheMemo(kNotepad, L"C:\\windows\\notepad.exe \"" + kMemo + L"\""))
        Stop(L"the editor did not receive the memo alone");
    const std::wstring classic = L"C:\\windows\\notepad.exe " + kNewDocument;
    Say(L"5. A program starts Notepad with a document whose path has blanks, unquoted, as the "
        L"shell's classic verbs write it (NOTEPAD.EXE %1): " +
        classic);
    if (!OpenTheMemo(kNotepad, classic, kNewDocument))
        Stop(L"the editor did not receive the document whole");
    Say(L"   One argument: the launcher quoted the path, which names one existing file.");
    Say(L"Done.");
    return 0;
}

int DemoRedirect()
{
    const std::string systemNotepad = Checksum(ReadBytes(kNotepad));
    Process setup;
    OpenedWindow opened = RunSetupAndInstall(
        setup, L"This Wine prefix plays a Windows that protects C:\\windows\\notepad.exe, with a "
               L"stand-in sfc.dll that the tests build");
    Say(L"2. Installed by redirection: C:\\windows\\notepad.exe is untouched (" +
        std::wstring(systemNotepad == Checksum(ReadBytes(kNotepad)) ? L"same bytes" : L"CHANGED") +
        L"), there is " + std::wstring(Exists(kBackup) ? L"A" : L"no") + L" notepad.met, and " +
        kRedirectCopy + L" is " +
        std::wstring(Checksum(ReadBytes(kRedirectCopy)) == Checksum(ReadBytes(kSetupPath))
                         ? L"the program"
                         : L"NOT the program") +
        L".");
    Say(L"   HKEY_LOCAL_MACHINE\\" + kOptionsKey + L"\n   value Debugger = " + DebuggerValue());
    TellWhoOpenedTheWindow(opened, setup);
    RegisterTheEditor(opened, setup);

    const std::wstring shellCommand = L"\"" + kSystemFolderNotepad + L"\" \"" + kMemo + L"\"";
    const std::wstring redirected = L"\"" + kRedirectCopy + L"\" " + shellCommand;
    Say(L"4. The shell opens " + kMemo + L" with Notepad: " + shellCommand);
    Say(L"   On Windows, CreateProcess finds the Debugger value for notepad.exe and starts it "
        L"instead, with the original command line after it. Wine ignores that value, so here "
        L"the demo plays Windows' part and starts:");
    Say(L"   " + redirected);
    if (!OpenTheMemo(kRedirectCopy, redirected))
        Stop(L"the editor did not receive the memo alone: run as ZanvekNotepad.exe, the launcher "
             L"must drop Notepad's own program name, which Windows puts in front");

    // Windows 10's .txt association: %SystemRoot%\system32\NOTEPAD.EXE %1, the document unquoted.
    const std::wstring classic =
        L"\"" + kRedirectCopy + L"\" " + kSystemFolderNotepad + L" " + kNewDocument;
    Say(L"5. Explorer names a new text file \"New Text Document.txt\", and the classic .txt "
        L"association passes it unquoted (%SystemRoot%\\system32\\NOTEPAD.EXE %1). With the "
        L"redirection, Windows starts:");
    Say(L"   " + classic);
    if (!OpenTheMemo(kRedirectCopy, classic, kNewDocument))
        Stop(L"the editor did not receive the document whole");
    Say(L"   One argument: the launcher quoted the path, which names one existing file.");

    // Windows 11: the packaged Notepad owns .txt by app activation, which no redirection
    // reaches; set-up registered the launcher as a default app the user can choose.
    const std::wstring progId = L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile";
    Say(L"6. Set-up also registered the launcher as a default app for text files:");
    Say(L"   HKEY_LOCAL_MACHINE\\" + progId + L"\\shell\\open\\command = " +
        MachineText(progId + L"\\shell\\open\\command", nullptr));
    Say(L"   HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications: ZanvekNotepad = " +
        MachineText(L"SOFTWARE\\RegisteredApplications", L"ZanvekNotepad"));
    Say(L"   On Windows 11 the user chooses it in Settings > Apps > Default apps (no program may "
        L"set a default app). Wine reads no per-user choice, so the demo stands in for it with "
        L"HKEY_CLASSES_ROOT\\.txt = ZanvekNotepad.TextFile, then double-clicks the file "
        L"(ShellExecuteEx, verb open):");
    if (!ChooseTextApp(L"ZanvekNotepad.TextFile")) Stop(L"cannot stand in for the user's choice");
    ExpectTheEditor();
    Process launcher = OpenThroughTheShell(kNewDocument, kRedirectCopy);
    if (launcher.Handle() == nullptr) Stop(L"the shell did not open the document");
    launcher.Wait();
    if (!TellWhatTheEditorGot(kNewDocument)) Stop(L"the editor did not receive the document whole");
    Say(L"Done.");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring way = argc > 1 ? argv[1] : L"copy";
    if (way == L"copy") return DemoCopy();
    if (way == L"redirect") return DemoRedirect();
    Stop(L"usage: zn_demo.exe copy|redirect");
}
