// The program run from a Downloads folder: its removal and install prompts, answered as a user
// would, and the Windows folder inspected by content afterwards.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <map>

namespace zn::e2e {
namespace {

const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
const std::wstring kRemoveTitle = L"Uninstall";
const std::wstring kRemoveText = L"ZanvekNotePadをUninstallしますか？";
const std::wstring kInstallTitle = L"ZanvekNOTEPAD";
const std::wstring kInstallText = L"ZanvekNOTEPAD をインストールしますか？";

using Folder = std::map<std::wstring, std::string>;

// The three files set-up may touch, each by a checksum of its content.
Folder Snapshot()
{
    return {{kNotepad, Checksum(ReadBytes(kNotepad))},
            {kBackup, Checksum(ReadBytes(kBackup))},
            {kStaged, Checksum(ReadBytes(kStaged))}};
}

class Setup : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeFolders(kDownloads);
        m_self = kDownloads + L"\\ZanvekNotepad.exe";
        CopyOver(ProgramPath(), m_self);
        m_program = Checksum(ReadBytes(m_self));
        m_systemNotepad = Checksum(ReadBytes(kNotepad));
        ASSERT_NE(m_systemNotepad, kMissing);
        ASSERT_NE(m_systemNotepad, m_program);
    }

    // The state an earlier installation leaves: the system Notepad saved, the program over it.
    void MakeInstalled()
    {
        CopyOver(kNotepad, kBackup);
        CopyOver(ProgramPath(), kNotepad);
    }

    Process RunSetup(const std::wstring& self = L"")
    {
        const std::wstring path = self.empty() ? m_self : self;
        return Start(path, L"\"" + path + L"\"", path.substr(0, path.rfind(L'\\') + 1));
    }

    std::wstring m_self;
    std::string m_program;
    std::string m_systemNotepad;
};

TEST_F(Setup, NotInstalledYes)
{
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(),
              (Folder{{kNotepad, m_program}, {kBackup, m_systemNotepad}, {kStaged, kMissing}}));
}

TEST_F(Setup, NotInstalledNo)
{
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDNO));
    EXPECT_EQ(setup.Wait(), 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, InstalledRemoveYesInstallNo)
{
    MakeInstalled();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDNO));
    EXPECT_EQ(setup.Wait(), 0);
    EXPECT_EQ(Snapshot(),
              (Folder{{kNotepad, m_systemNotepad}, {kBackup, kMissing}, {kStaged, kMissing}}));
}

TEST_F(Setup, InstalledRemoveYesInstallYes)
{
    MakeInstalled();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(),
              (Folder{{kNotepad, m_program}, {kBackup, m_systemNotepad}, {kStaged, kMissing}}));
}

TEST_F(Setup, InstalledRemoveNoInstallYesKeepsTheFirstBackup)
{
    MakeInstalled();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDNO));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(),
              (Folder{{kNotepad, m_program}, {kBackup, m_systemNotepad}, {kStaged, kMissing}}));
}

TEST_F(Setup, InstalledNoToBoth)
{
    MakeInstalled();
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDNO));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDNO));
    EXPECT_EQ(setup.Wait(), 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, StagedNotepadBecomesTheBackup)
{
    WriteBytes(kStaged, "staged system notepad");
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), (Folder{{kNotepad, m_program},
                                  {kBackup, Checksum("staged system notepad")},
                                  {kStaged, kMissing}}));
}

TEST_F(Setup, RemovalWithoutNotepadExeReportsAndKeepsTheBackup)
{
    MakeInstalled();
    ASSERT_TRUE(::DeleteFileW(kNotepad.c_str()));
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(setup, L"ファイルを削除できませんでした。", kNotepad);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, ReadOnlyNotepadExeAtRemovalLosesNothing)
{
    MakeInstalled();
    ASSERT_TRUE(::SetFileAttributesW(kNotepad.c_str(), FILE_ATTRIBUTE_READONLY));
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(setup, L"ファイルを削除できませんでした。", kNotepad, L"読み取り専用");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, ReadOnlyNotepadExeAsTheCopysDestinationLosesNothing)
{
    ASSERT_TRUE(::SetFileAttributesW(kNotepad.c_str(), FILE_ATTRIBUTE_READONLY));
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup, L"ファイルをコピーできませんでした。", m_self + L"\r\n→ " + kNotepad,
                      L"読み取り専用");
    // The backup was made before the copy failed; the system Notepad is in both places.
    EXPECT_EQ(
        Snapshot(),
        (Folder{{kNotepad, m_systemNotepad}, {kBackup, m_systemNotepad}, {kStaged, kMissing}}));
}

TEST_F(Setup, InstallsFromADrivesRootFolder)
{
    const std::wstring atRoot = L"C:\\ZanvekNotepad.exe";
    CopyOver(ProgramPath(), atRoot);
    Process setup = RunSetup(atRoot);
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(),
              (Folder{{kNotepad, m_program}, {kBackup, m_systemNotepad}, {kStaged, kMissing}}));
}

// What goes wrong in the Windows folder: each case reports, and nothing that was there is lost.

TEST_F(Setup, NotepadExeMissingAtInstallReportsAndChangesNothing)
{
    ASSERT_TRUE(::DeleteFileW(kNotepad.c_str()));
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup, L"ファイルをコピーできませんでした。", kNotepad + L"\r\n→ " + kBackup);
    EXPECT_EQ(Snapshot(), before);
}

// Another program holds notepad.exe open and shares it with nobody.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path)
        : m_file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        EXPECT_NE(m_file, INVALID_HANDLE_VALUE);
    }
    ~HeldOpen() { ::CloseHandle(m_file); }

private:
    HANDLE m_file;
};

TEST_F(Setup, NotepadExeHeldOpenAtInstallReportsAndChangesNothing)
{
    const Folder before = Snapshot();
    {
        const HeldOpen held(kNotepad);
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
        ExpectErrorReport(setup, L"ファイルを確認できませんでした。", kNotepad);
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, NotepadExeHeldOpenAtRemovalReportsAndChangesNothing)
{
    MakeInstalled();
    const Folder before = Snapshot();
    {
        const HeldOpen held(kNotepad);
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
        // What cannot be read cannot be told apart from a system Notepad: it is not deleted.
        ExpectErrorReport(setup, L"ファイルを確認できませんでした。", kNotepad);
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, AFolderInPlaceOfTheBackupIsNoBackupAndIsLeftAlone)
{
    ASSERT_TRUE(::CreateDirectoryW(kBackup.c_str(), nullptr));
    Process setup = RunSetup();
    // A folder is not a backup file: no removal is offered.
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup, L"ファイルをコピーできませんでした。", kNotepad + L"\r\n→ " + kBackup);
    EXPECT_EQ(Checksum(ReadBytes(kNotepad)), m_systemNotepad);
    EXPECT_NE(::GetFileAttributesW(kBackup.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Setup, SomethingElseInPlaceOfTheProgramIsNotDeleted)
{
    MakeInstalled();
    WriteBytes(kNotepad, "a newer system notepad, put back by an update");
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(setup, L"notepad.exe が ZanvekNotepad ではないため、削除しませんでした。",
                      kNotepad, L"notepad.exe と notepad.met を確認してください。");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, SomethingElseInPlaceOfTheProgramIsNotOverwritten)
{
    MakeInstalled();
    WriteBytes(kNotepad, "a newer system notepad, put back by an update");
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDNO));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup, L"notepad.exe が ZanvekNotepad ではないため、置き換えませんでした。",
                      kNotepad);
    EXPECT_EQ(Snapshot(), before);
}

} // namespace
} // namespace zn::e2e
