// The demo: a user installs ZanvekNotepad from the Downloads folder, registers an editor by
// dragging it onto the registration window, and then opens a text file "with Notepad" as the
// shell would. Runs inside a throwaway Wine prefix and tells what happens at each step.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <ole2.h>

#include <cstdio>
#include <string>

using namespace zn::e2e;

namespace {

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

} // namespace

int wmain()
{
    const std::wstring downloads = L"C:\\users\\Public\\Downloads";
    const std::wstring setupPath = downloads + L"\\ZanvekNotepad.exe";
    const std::wstring editorFolder = L"C:\\Program Files\\Demo Editor";
    const std::wstring editor = editorFolder + L"\\DemoEditor.exe";
    const std::wstring documents = L"C:\\users\\Public\\Documents";
    const std::wstring memo = documents + L"\\memo.txt";
    const std::wstring record = L"C:\\users\\Public\\demo-editor-record.txt";

    MakeFolders(downloads);
    MakeFolders(editorFolder);
    MakeFolders(documents);
    ::CopyFileW(ProgramPath().c_str(), setupPath.c_str(), FALSE);
    ::CopyFileW(StandInEditorPath().c_str(), editor.c_str(), FALSE);
    WriteBytes(memo, "Hello from the demo.\r\n");
    const std::string systemNotepad = Checksum(ReadBytes(kNotepad));

    Say(L"1. The user starts " + setupPath +
        L" (downloaded, so not in the Windows folder: set-up).");
    Process setup = Start(setupPath, L"\"" + setupPath + L"\"", downloads);
    const HWND prompt = WaitForMessageBox(setup.Id(), L"ZanvekNOTEPAD");
    if (prompt == nullptr) Stop(L"the install prompt did not appear");
    Say(L"   Message box \"ZanvekNOTEPAD\":");
    Say(Indent(MessageBoxText(prompt)));
    Say(L"   The user answers Yes.");
    Answer(prompt, IDYES);

    OpenedWindow opened = WaitForOpenedWindow(setup);
    const HWND window = opened.window;
    if (window == nullptr) Stop(L"the registration window did not open");
    Say(L"2. Installed: C:\\windows\\notepad.met now holds the system Notepad (" +
        std::wstring(systemNotepad == Checksum(ReadBytes(kBackup)) ? L"same bytes" : L"DIFFERENT") +
        L"), and C:\\windows\\notepad.exe is the program.");
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
    Say(L"   The registration window \"" + ControlText(window) + L"\" opened:");
    Say(Indent(ControlText(::GetDlgItem(window, kLabel2))));

    Say(L"3. The user drags " + editor + L" onto the text box.");
    const DWORD effect = DragFilesOnto(CentreOf(::GetDlgItem(window, kText1)), {editor});
    Say(L"   The window told the drag source: " +
        std::wstring(effect == DROPEFFECT_COPY ? L"copy" : L"something else") +
        L" (the file stays where it is).");
    WaitForText(::GetDlgItem(window, kText1), editor);
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

    Say(L"4. The shell opens " + memo + L" with Notepad: C:\\windows\\notepad.exe \"" + memo +
        L"\"");
    SetEnv(L"ZN_EDITOR_RECORD", record);
    SetEnv(L"ZN_EDITOR_EXIT_CODE", L"0");
    Process launch = Start(kNotepad, L"C:\\windows\\notepad.exe \"" + memo + L"\"");
    const int exitCode = launch.Wait();
    const EditorRecord received = ReadEditorRecord(record);
    if (!received.present) Stop(L"the editor was not started");
    Say(L"   The editor that started: " + received.module);
    Say(L"   Its command line:        " + received.commandLine);
    for (std::size_t i = 0; i < received.argv.size(); ++i)
        Say(L"   argv[" + std::to_wstring(i) + L"]:                 " + received.argv[i]);
    Say(L"   notepad.exe waited for the editor and ended with its exit code, " +
        std::to_wstring(exitCode) + L".");
    Say(L"Done.");
    return 0;
}
