// The installed notepad.exe as the shell and other programs start it.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>

namespace zn::e2e {
namespace {

const std::wstring kEditor = L"C:\\Tools\\editor.exe";
const std::wstring kRecord = L"C:\\e2e\\editor-record.txt";

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeFolders(L"C:\\e2e");
        MakeFolders(L"C:\\Tools");
        CopyOver(ProgramPath(), kNotepad);
        CopyOver(StandInEditorPath(), kEditor);
        ::DeleteFileW(kRecord.c_str());
        ClearEditorSetting();
        SetEnv(L"ZN_EDITOR_RECORD", kRecord);
        SetEnv(L"ZN_EDITOR_EXIT_CODE", L"0");
    }

    // Starts the installed notepad.exe with this full command line and returns its exit code.
    int RunNotepad(const std::wstring& commandLine)
    {
        Process launcher = Start(kNotepad, commandLine);
        return launcher.Wait();
    }
};

TEST_F(Launcher, ApostrophesAroundThePathAreRemoved)
{
    SetEditorSetting(kEditor);
    EXPECT_EQ(RunNotepad(L"C:\\windows\\notepad.exe 'C:\\memo.txt'"), 0);
    const EditorRecord record = ReadEditorRecord(kRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, L"\"C:\\Tools\\editor.exe\" C:\\memo.txt");
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{kEditor, L"C:\\memo.txt"}));
}

TEST_F(Launcher, ADoubleQuotedArgumentArrivesUnchanged)
{
    SetEditorSetting(kEditor);
    EXPECT_EQ(RunNotepad(L"\"C:\\windows\\notepad.exe\"  \"C:\\my memo.txt\""), 0);
    const EditorRecord record = ReadEditorRecord(kRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, L"\"C:\\Tools\\editor.exe\" \"C:\\my memo.txt\"");
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{kEditor, L"C:\\my memo.txt"}));
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
    SetEditorSetting(kEditor);
    SetEnv(L"ZN_EDITOR_PARENT_MODULES", modulesFile);
    EXPECT_EQ(RunNotepad(L"notepad.exe C:\\memo.txt"), 0);
    SetEnv(L"ZN_EDITOR_PARENT_MODULES", L"");
    const std::string bytes = ReadBytes(modulesFile);
    ASSERT_NE(bytes, kMissing);
    std::wstring modules(bytes.size() / 2, L'\0');
    std::memcpy(modules.data(), bytes.data(), modules.size() * 2);
    for (wchar_t& c : modules) c = static_cast<wchar_t>(std::towlower(c));
    EXPECT_NE(modules.find(L"kernel32.dll"), std::wstring::npos) << "the list is not the launcher's";
    EXPECT_NE(modules.find(L"notepad.exe"), std::wstring::npos) << "the list is not the launcher's";
    for (const wchar_t* gui : {L"user32.dll", L"gdi32.dll", L"ole32.dll", L"shell32.dll", L"comctl32.dll"})
        EXPECT_EQ(modules.find(gui), std::wstring::npos) << gui << " is loaded:\n" << modules;
}

} // namespace
} // namespace zn::e2e
