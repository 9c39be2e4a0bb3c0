// The copy the system starts in place of every notepad.exe once set-up has redirected them:
// <Windows>\ZanvekNotepad.exe, given the started program's token before Notepad's command line.
// Wine does not redirect starts itself, so these tests start the copy as Windows would.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <optional>

namespace zn::e2e {
namespace {

const std::wstring kRedirectCopy = kWindows + L"\\ZanvekNotepad.exe";
const std::wstring kQuotedCopy = L"\"" + kRedirectCopy + L"\" ";
// Explorer's name for every new text file; the shell's classic verbs pass it unquoted.
const std::wstring kDocument = L"C:\\users\\Public\\My Notes\\New Text Document.txt";

class RedirectCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareInstalledProgram();
        CopyOver(ProgramPath(), kRedirectCopy);
        SetEditorSetting(kStandInEditor);
    }
};

TEST_F(RedirectCopy, TheEditorGetsNotepadsOwnCommandLine)
{
    const struct {
        std::wstring tail;                    // after the redirect copy's own name
        std::optional<std::wstring> argument; // none: the registration window opens instead
    } rows[] = {
        // The shell's classic open verb passes %1 unquoted.
        {L"C:\\WINDOWS\\system32\\NOTEPAD.EXE C:\\my folder\\my file.txt",
         L"C:\\my folder\\my file.txt"},
        {L"\"C:\\Windows\\System32\\notepad.exe\" \"C:\\a b.txt\"", L"\"C:\\a b.txt\""},
        {L"notepad 'C:\\memo.txt'", L"C:\\memo.txt"},
        {L"C:\\Windows\\SysWOW64\\notepad.exe /p x.txt", L"/p x.txt"},
        {L"notepad.exe", std::nullopt},
        // A caller that passed the program separately: no token in front.
        {L"C:\\x.txt", L"C:\\x.txt"},
        // One existing document with blanks arrives whole; what names no document, as it came.
        {L"C:\\WINDOWS\\system32\\NOTEPAD.EXE " + kDocument, L"\"" + kDocument + L"\""},
        {L"C:\\WINDOWS\\system32\\NOTEPAD.EXE C:\\no such folder\\a b.txt",
         L"C:\\no such folder\\a b.txt"},
    };
    MakeFolders(L"C:\\users\\Public\\My Notes");
    WriteBytes(kDocument, "memo");
    for (const auto& row : rows) {
        ::DeleteFileW(kEditorRecord.c_str());
        Process launcher = Start(kRedirectCopy, kQuotedCopy + row.tail);
        if (row.argument) {
            EXPECT_EQ(launcher.Wait(), 0) << row.tail;
            const EditorRecord record = ReadEditorRecord(kEditorRecord);
            ASSERT_TRUE(record.present) << row.tail;
            EXPECT_EQ(record.commandLine, L"\"" + kStandInEditor + L"\" " + *row.argument);
        } else {
            ExpectRegistrationWindowThenClose(launcher);
            EXPECT_FALSE(ReadEditorRecord(kEditorRecord).present) << row.tail;
        }
    }
}

// With the redirection in place, starting a notepad.exe would start this copy again, and so on.
TEST_F(RedirectCopy, ANotepadExeAsTheEditorOpensTheWindowInsteadOfALoop)
{
    const std::wstring notepadEditor = L"C:\\Tools\\notepad.exe";
    CopyOver(StandInEditorPath(), notepadEditor);
    for (const std::wstring& editor : {notepadEditor, kNotepad}) {
        SetEditorSetting(editor);
        Process launcher =
            Start(kRedirectCopy, kQuotedCopy + L"C:\\windows\\system32\\notepad.exe C:\\memo.txt");
        ExpectRegistrationWindowThenClose(launcher);
        EXPECT_FALSE(ReadEditorRecord(kEditorRecord).present) << editor;
    }
    // The installed notepad.exe is no redirect target: the same editor starts from there.
    SetEditorSetting(notepadEditor);
    Process launcher = Start(kNotepad, L"notepad.exe C:\\memo.txt");
    EXPECT_EQ(launcher.Wait(), 0);
    EXPECT_TRUE(ReadEditorRecord(kEditorRecord).present);
}

} // namespace
} // namespace zn::e2e
