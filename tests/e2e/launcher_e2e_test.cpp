// The installed notepad.exe as the shell and other programs start it.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <set>

namespace zn::e2e {
namespace {

const std::wstring& kEditor = kStandInEditor;
const std::wstring& kRecord = kEditorRecord;

class Launcher : public ::testing::Test {
protected:
    void SetUp() override { PrepareInstalledProgram(); }

    // Starts the installed notepad.exe with this full command line and returns its exit code.
    int RunNotepad(const std::wstring& commandLine)
    {
        Process launcher = Start(kNotepad, commandLine);
        return launcher.Wait();
    }
};

TEST_F(Launcher, TheCommandLineReachesTheEditorAfterTheApostropheRule)
{
    // Explorer's name for every new text file; the shell's classic verbs pass it unquoted.
    const std::wstring document = L"C:\\users\\Public\\My Notes\\New Text Document.txt";
    MakeFolders(L"C:\\users\\Public\\My Notes");
    WriteBytes(document, "memo");
    const struct {
        std::wstring commandLine, argument;
        std::vector<std::wstring> arguments; // argv[1] on
    } rows[] = {
        // Apostrophes around the path are removed.
        {L"C:\\windows\\notepad.exe 'C:\\memo.txt'", L"C:\\memo.txt", {L"C:\\memo.txt"}},
        // A double-quoted argument arrives unchanged.
        {L"\"C:\\windows\\notepad.exe\"  \"C:\\my memo.txt\"",
         L"\"C:\\my memo.txt\"",
         {L"C:\\my memo.txt"}},
        // One existing document with blanks arrives whole; what names no document, as it came.
        {L"C:\\windows\\notepad.exe " + document, L"\"" + document + L"\"", {document}},
        {L"C:\\windows\\notepad.exe C:\\no such folder\\a b.txt",
         L"C:\\no such folder\\a b.txt",
         {L"C:\\no", L"such", L"folder\\a", L"b.txt"}},
    };
    SetEditorSetting(kEditor);
    for (const auto& row : rows) {
        ::DeleteFileW(kRecord.c_str());
        EXPECT_EQ(RunNotepad(row.commandLine), 0);
        const EditorRecord record = ReadEditorRecord(kRecord);
        ASSERT_TRUE(record.present) << row.commandLine;
        EXPECT_EQ(record.commandLine, L"\"C:\\Tools\\editor.exe\" " + row.argument);
        std::vector<std::wstring> argv{kEditor};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        EXPECT_EQ(record.argv, argv) << row.commandLine;
    }
}

TEST_F(Launcher, AnEditorInAFolderWithSpacesIsStartedItselfAndSeesItsArguments)
{
    const std::wstring editor = L"C:\\Program Files\\Stand In\\editor.exe";
    MakeFolders(L"C:\\Program Files\\Stand In");
    CopyOver(StandInEditorPath(), editor);
    // Had the path gone unquoted, the system would have tried this one first.
    CopyOver(StandInEditorPath(), L"C:\\Program.exe");
    SetEditorSetting(editor);
    EXPECT_EQ(RunNotepad(L"notepad.exe C:\\memo.txt"), 0);
    const EditorRecord record = ReadEditorRecord(kRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.module, editor);
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{editor, L"C:\\memo.txt"}));
}

TEST_F(Launcher, WaitsForTheEditorAndEndsWithItsExitCode)
{
    SetEditorSetting(kEditor);
    SetEnv(L"ZN_EDITOR_EXIT_CODE", L"42");
    EXPECT_EQ(RunNotepad(L"notepad.exe C:\\memo.txt"), 42);
    EXPECT_TRUE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, WithoutACommandLineTheRegistrationWindowOpensEvenWithAnEditor)
{
    SetEditorSetting(kEditor);
    Process launcher = Start(kNotepad, L"C:\\windows\\notepad.exe");
    ExpectRegistrationWindowThenClose(launcher);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, WithoutARegisteredEditorTheRegistrationWindowOpens)
{
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(launcher);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, AMissingEditorFileOpensTheRegistrationWindow)
{
    SetEditorSetting(L"C:\\Tools\\gone.exe");
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(launcher);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, ItselfRegisteredAsTheEditorDoesNotStartItselfAgain)
{
    SetEditorSetting(L"C:\\WINDOWS\\NOTEPAD.EXE");
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(launcher);
}

// Set-up run as the editor would offer, at every Notepad start, to remove the installation.
TEST_F(Launcher, ACopyOfThisProgramAsTheEditorOpensTheWindowAndNoSetUp)
{
    const std::wstring copy = L"C:\\ed\\copy.exe";
    MakeFolders(L"C:\\ed");
    CopyOver(ProgramPath(), copy);
    SetEditorSetting(copy);
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    OpenedWindow opened = WaitForOpenedWindow(launcher);
    ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
    EXPECT_EQ(WaitForMessageBox(0, kInstallTitle, 1s), nullptr) << "set-up ran";
    EXPECT_EQ(WaitForMessageBox(0, kRemoveTitle, 0ms), nullptr) << "set-up ran";
    ::PostMessageW(opened.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(launcher.Wait(), 0);
    EXPECT_EQ(EditorSetting(), copy);
}

// An editor set to open its documents in Notepad starts the launcher again, which starts the
// editor again: each launcher and editor stays, waiting for the next. The fifth launcher in a
// row stops the chain with a report; answered, every process ends in turn.
TEST_F(Launcher, AnEditorThatStartsNotepadAgainStopsAtTheFourthEditor)
{
    const std::wstring records = L"C:\\e2e\\nested";
    MakeFolders(records);
    SetEditorSetting(kEditor);
    SetEnv(L"ZN_EDITOR_RECORD", L"");
    SetEnv(L"ZN_EDITOR_RECORD_DIR", records);
    SetEnv(L"ZN_EDITOR_START_NOTEPAD", L"8"); // a previous build would stop after eight
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    SetEnv(L"ZN_EDITOR_START_NOTEPAD", L"");
    SetEnv(L"ZN_EDITOR_RECORD_DIR", L"");
    const auto countRecords = [&] {
        int count = 0;
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW((records + L"\\*.txt").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return 0;
        do {
            const EditorRecord record = ReadEditorRecord(records + L"\\" + found.cFileName);
            EXPECT_EQ(record.argv, (std::vector<std::wstring>{kEditor, L"C:\\memo.txt"}));
            ++count;
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        return count;
    };

    const HWND report = WaitForMessageBox(0, L"ZanvekNotePad", 30s);
    ASSERT_NE(report, nullptr) << "no report; editors started: " << countRecords();
    const std::wstring text = MessageBoxText(report);
    EXPECT_EQ(text.rfind(L"エディタが Notepad "
                         L"を起動し続けているため、これ以上エディタを起動しませんでした。\r\n" +
                             kEditor,
                         0),
              0u)
        << text;
    EXPECT_EQ(countRecords(), 4);
    Answer(report, IDOK);
    // The fifth launcher's report code, passed back by every editor and launcher above it.
    EXPECT_EQ(launcher.Wait(30s), 3);
    EXPECT_EQ(countRecords(), 4);
}

// Wine opens such a path in either form; what the row shows is the start, which Wine's
// CreateProcessW refuses for either form of the application name (error 123 or 2 in our runs).
// The refusal is reported with the system's reason, never taken for a missing editor.
TEST_F(Launcher, AnEditorWithAPathOfMaxPathOrMoreIsStartedOrRefusedWithTheSystemsReason)
{
    std::wstring folder = L"C:\\e2e";
    for (const wchar_t letter : {L'a', L'b', L'c'}) {
        folder += L"\\" + std::wstring(100, letter);
        ::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    const std::wstring editor = folder + L"\\editor.exe";
    ASSERT_GE(editor.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(::CopyFileW(StandInEditorPath().c_str(), (L"\\\\?\\" + editor).c_str(), FALSE));
    SetEditorSetting(editor);
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectErrorReport(launcher, L"エディタを起動できませんでした。", editor);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, StartedByADifferentlySpelledPathItIsStillTheLauncher)
{
    SetEditorSetting(kEditor);
    Process launcher = Start(L"C:\\WINDOWS\\NOTEPAD.EXE", L"C:\\WINDOWS\\NOTEPAD.EXE C:\\memo.txt");
    EXPECT_EQ(launcher.Wait(), 0);
    EXPECT_TRUE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, LoadsNoGuiDllWhileItWaitsForTheEditor)
{
    const std::wstring modulesFile = L"C:\\e2e\\launcher-modules.txt";
    const std::wstring redirectCopy = kWindows + L"\\ZanvekNotepad.exe";
    CopyOver(ProgramPath(), redirectCopy);
    SetEditorSetting(kEditor);
    const struct {
        std::wstring program, commandLine, moduleName;
    } launches[] = {
        {kNotepad, L"notepad.exe C:\\memo.txt", L"notepad.exe"},
        // As the system starts the redirect copy in Notepad's place.
        {redirectCopy, L"\"" + redirectCopy + L"\" C:\\windows\\system32\\notepad.exe C:\\memo.txt",
         L"zanveknotepad.exe"},
    };
    for (const auto& launch : launches) {
        ::DeleteFileW(modulesFile.c_str());
        SetEnv(L"ZN_EDITOR_PARENT_MODULES", modulesFile);
        Process launcher = Start(launch.program, launch.commandLine);
        EXPECT_EQ(launcher.Wait(), 0);
        SetEnv(L"ZN_EDITOR_PARENT_MODULES", L"");
        const std::string bytes = ReadBytes(modulesFile);
        ASSERT_NE(bytes, kMissing) << launch.program;
        std::wstring modules(bytes.size() / 2, L'\0');
        std::memcpy(modules.data(), bytes.data(), modules.size() * 2);
        for (wchar_t& c : modules)
            c = static_cast<wchar_t>(std::towlower(c));
        EXPECT_NE(modules.find(L"kernel32.dll"), std::wstring::npos)
            << "the list is not the launcher's";
        EXPECT_NE(modules.find(launch.moduleName), std::wstring::npos)
            << "the list is not the launcher's";
        for (const wchar_t* gui :
             {L"user32.dll", L"gdi32.dll", L"ole32.dll", L"shell32.dll", L"comctl32.dll"})
            EXPECT_EQ(modules.find(gui), std::wstring::npos) << gui << " is loaded:\n" << modules;
    }
}

// What the outside world may hand the launcher: odd settings, odd editors, odd command lines.

void SetRawSetting(DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Kestrane\\ZanvekNOTEPAD", 0, nullptr,
                                0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(key);
}

TEST_F(Launcher, ASettingThatIsNoTextOpensTheWindowAndStartsNothing)
{
    const DWORD number = 0x00636261; // "abc" if it were taken as text
    SetRawSetting(REG_DWORD, &number, sizeof(number));
    Process dword = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(dword);
    const BYTE binary[] = {'C', 0, ':', 0, 0, 0};
    SetRawSetting(REG_BINARY, binary, sizeof(binary));
    Process binaryLaunch = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(binaryLaunch);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, A64KiBSettingIsReadWholeAndNamesNoFile)
{
    SetEditorSetting(L"C:\\" + std::wstring(32760, L'x')); // 64 KiB of UTF-16
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(launcher);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
}

TEST_F(Launcher, AnEditorPathOutsideTheCodePageStartsThatEditor)
{
    const std::wstring folder = L"C:\\Tools\\한글 \U0001F600 \u00E9";
    const std::wstring editor = folder + L"\\editor.exe";
    MakeFolders(folder);
    CopyOver(StandInEditorPath(), editor);
    SetEditorSetting(editor);
    EXPECT_EQ(RunNotepad(L"notepad.exe C:\\memo.txt"), 0);
    const EditorRecord record = ReadEditorRecord(kRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.module, editor);
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{editor, L"C:\\memo.txt"}));
}

TEST_F(Launcher, AFolderAsTheEditorOpensTheWindow)
{
    SetEditorSetting(L"C:\\Tools");
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectRegistrationWindowThenClose(launcher);
}

// Every top-level file of the Windows folder with a fingerprint of its content.
std::map<std::wstring, std::string> WindowsFolderFiles()
{
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((kWindows + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files[found.cFileName] = Checksum(ReadBytes(kWindows + L"\\" + found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
}

TEST_F(Launcher, AFileThatIsNoProgramIsReportedAndNothingChanges)
{
    const std::wstring notAProgram = L"C:\\Tools\\readme.txt";
    WriteBytes(notAProgram, "just text");
    SetEditorSetting(notAProgram);
    const auto before = WindowsFolderFiles();
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    ExpectErrorReport(launcher,
                      L"エディタが Windows のプログラムではないため、起動しませんでした。",
                      notAProgram);
    EXPECT_EQ(EditorSetting(), notAProgram);
    EXPECT_EQ(ReadBytes(notAProgram), "just text");
    EXPECT_EQ(WindowsFolderFiles(), before);
}

// A batch file as the editor would hand the document's name to the command interpreter, which
// runs what follows an "&" as a command of its own.
TEST_F(Launcher, ABatchFileAsTheEditorRunsNoCommandOfTheCommandLine)
{
    const std::wstring pwned = L"C:\\pwn.txt";
    const std::wstring script = L"C:\\Tools\\editor.bat", renamed = L"C:\\Tools\\editor.CMD";
    WriteBytes(script, "@echo off\r\nrem a script in the editor's place\r\n");
    CopyOver(StandInEditorPath(), renamed); // a program's bytes under a script's name
    const auto before = WindowsFolderFiles();
    for (const std::wstring& editor : {script, renamed}) {
        SetEditorSetting(editor);
        Process launcher = Start(kNotepad, L"notepad.exe C:\\R&echo x>" + pwned);
        ExpectErrorReport(
            launcher, L"エディタがバッチファイル (.bat または .cmd) のため、起動しませんでした。",
            editor);
        EXPECT_FALSE(Exists(pwned)) << editor;
        EXPECT_FALSE(ReadEditorRecord(kRecord).present) << editor;
    }
    EXPECT_EQ(WindowsFolderFiles(), before);
}

// The caller's current folder may be a download folder or a document's folder: a file there
// named like the setting must not start.
TEST_F(Launcher, ARelativeEditorPathStartsNothingFromTheCurrentFolder)
{
    const std::wstring downloads = L"C:\\e2e\\downloads";
    MakeFolders(downloads);
    CopyOver(StandInEditorPath(), downloads + L"\\ed.exe");
    SetEditorSetting(L"ed.exe");
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt", downloads);
    ExpectRegistrationWindowThenClose(launcher);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
    EXPECT_EQ(EditorSetting(), L"ed.exe");
}

// 12 + 32,754 characters reach the launcher whole; with the editor's longer path in front the
// editor's command line would pass the system's limit, and the end of the document's name would
// be lost.
TEST_F(Launcher, ACommandLineTooLongForTheEditorIsReportedAndStartsNothing)
{
    SetEditorSetting(kEditor);
    const auto before = WindowsFolderFiles();
    Process launcher = Start(kNotepad, L"notepad.exe " + std::wstring(32754, L'a'));
    ExpectErrorReport(launcher, L"コマンドラインが長すぎるため、エディタを起動しませんでした。",
                      kEditor);
    EXPECT_FALSE(ReadEditorRecord(kRecord).present);
    EXPECT_EQ(WindowsFolderFiles(), before);
}

TEST_F(Launcher, ALongAndOddCommandLineArrivesExactly)
{
    SetEditorSetting(kEditor);
    const std::wstring odd =
        L"\"C:\\日本語\\メモ \U0001F600.txt\"\t'it''s' \"quoted \\\"inner\\\"\" \t tab";
    const std::wstring longTail =
        std::wstring(32000 - 12, L'a'); // the whole line: 32,000 characters
    for (const std::wstring& tail : {odd, longTail}) {
        ::DeleteFileW(kRecord.c_str());
        EXPECT_EQ(RunNotepad(L"notepad.exe " + tail), 0);
        const EditorRecord record = ReadEditorRecord(kRecord);
        ASSERT_TRUE(record.present) << tail.size();
        EXPECT_EQ(record.commandLine, L"\"" + kEditor + L"\" " + tail) << tail.size();
    }
}

TEST_F(Launcher, FiftyLaunchesAtOnceEachReachTheEditorWithTheirOwnArgument)
{
    SetEditorSetting(kEditor);
    const std::wstring records = L"C:\\e2e\\parallel";
    MakeFolders(records);
    SetEnv(L"ZN_EDITOR_RECORD", L"");
    SetEnv(L"ZN_EDITOR_RECORD_DIR", records);
    std::vector<Process> launches;
    std::multiset<std::wstring> sent;
    for (int i = 0; i < 50; ++i) {
        const std::wstring argument = L"C:\\docs\\file " + std::to_wstring(i) + L".txt";
        sent.insert(argument);
        launches.push_back(Start(kNotepad, L"notepad.exe " + argument));
    }
    for (Process& launch : launches)
        EXPECT_EQ(launch.Wait(60s), 0);
    SetEnv(L"ZN_EDITOR_RECORD_DIR", L"");

    std::multiset<std::wstring> received;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((records + L"\\*.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        const EditorRecord record = ReadEditorRecord(records + L"\\" + found.cFileName);
        ASSERT_EQ(record.argv.size(), 3u) << found.cFileName; // the path has a space: two arguments
        received.insert(record.commandLine.substr(kEditor.size() + 3));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    EXPECT_EQ(received, sent);
}

} // namespace
} // namespace zn::e2e
