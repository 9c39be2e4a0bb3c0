// The program run from a Downloads folder: its removal and install prompts, answered as a user
// would, and the Windows folder inspected by content afterwards.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <map>

namespace zn::e2e {
namespace {

const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";

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

    // The installed state: the program in notepad.exe, the system Notepad as the backup.
    Folder InstalledFolder(const std::string& staged = kMissing) const
    {
        return {{kNotepad, m_program}, {kBackup, m_systemNotepad}, {kStaged, staged}};
    }

    // The system Notepad back in its place, no backup.
    Folder RemovedFolder() const
    {
        return {{kNotepad, m_systemNotepad}, {kBackup, kMissing}, {kStaged, kMissing}};
    }

    // Answers the removal prompt, then the install prompt, and sees the run end: with the
    // registration window after an installation, else normally.
    void AnswerBoth(int remove, int install)
    {
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, remove));
        ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, install));
        if (install == IDYES)
            ExpectRegistrationWindowThenClose(setup);
        else
            EXPECT_EQ(setup.Wait(), 0);
    }

    // Answers Yes to install and expects the report, with the Windows folder as it was.
    void ExpectInstallRefused(const std::wstring& what, const std::wstring& path,
                              const std::wstring& advice = L"")
    {
        const Folder before = Snapshot();
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
        ExpectErrorReport(setup, what, path, advice);
        EXPECT_EQ(Snapshot(), before);
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
    EXPECT_EQ(Snapshot(), InstalledFolder());
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
    AnswerBoth(IDYES, IDNO);
    EXPECT_EQ(Snapshot(), RemovedFolder());
}

TEST_F(Setup, InstalledRemoveYesInstallYes)
{
    MakeInstalled();
    AnswerBoth(IDYES, IDYES);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

TEST_F(Setup, InstalledRemoveNoInstallYesKeepsTheFirstBackup)
{
    MakeInstalled();
    AnswerBoth(IDNO, IDYES);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

TEST_F(Setup, InstalledNoToBoth)
{
    MakeInstalled();
    const Folder before = Snapshot();
    AnswerBoth(IDNO, IDNO);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, StagedNotepadBecomesTheBackup)
{
    CopyOver(kNotepad, kStaged);
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

TEST_F(Setup, RemovalWithoutNotepadExePutsTheBackupBack)
{
    MakeInstalled();
    ASSERT_TRUE(::DeleteFileW(kNotepad.c_str()));
    AnswerBoth(IDYES, IDNO);
    EXPECT_EQ(Snapshot(), RemovedFolder());
}

TEST_F(Setup, ReadOnlyNotepadExeAtRemovalLosesNothing)
{
    MakeInstalled();
    ASSERT_TRUE(::SetFileAttributesW(kNotepad.c_str(), FILE_ATTRIBUTE_READONLY));
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(setup, L"ファイルを置き換えられませんでした。",
                      kBackup + L"\r\n→ " + kNotepad, L"読み取り専用");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, ReadOnlyNotepadExeAsTheCopysDestinationLosesNothing)
{
    ASSERT_TRUE(::SetFileAttributesW(kNotepad.c_str(), FILE_ATTRIBUTE_READONLY));
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup, L"ファイルを置き換えられませんでした。", kNotepad, L"読み取り専用");
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
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

// What goes wrong in the Windows folder: each case reports, and nothing that was there is lost.

TEST_F(Setup, NotepadExeMissingAtInstallReportsAndChangesNothing)
{
    ASSERT_TRUE(::DeleteFileW(kNotepad.c_str()));
    ExpectInstallRefused(L"ファイルをコピーできませんでした。", kNotepad + L"\r\n→ " + kBackup);
}

// Another program holds a file open, by default sharing it with nobody.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path, DWORD share = 0)
        : m_file(
              ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
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

// Faults of earlier versions that lost or replaced a file: each case fails on such a version.

TEST_F(Setup, AStagedFileThatIsNoProgramIsLeftWhereItIs)
{
    WriteBytes(kStaged, "a leftover text, not a Notepad");
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder(Checksum("a leftover text, not a Notepad")));
}

TEST_F(Setup, AStagedProgramOtherThanNotepadExeStopsBeforeAnyChange)
{
    CopyOver(StandInEditorPath(), kStaged);
    ExpectInstallRefused(
        L"notepad.ex_ と notepad.exe が別々のプログラムで、どちらを元のメモ帳として"
        L"残すか決められないため、何も変更しませんでした。",
        kStaged + L"\r\n" + kNotepad, L"元のメモ帳でない方を別の場所へ移して");
}

TEST_F(Setup, ANotepadExeThatIsNoProgramIsNeitherSavedNorReplaced)
{
    WriteBytes(kNotepad, "not a program");
    ExpectInstallRefused(L"notepad.exe がプログラムではないため、何も変更しませんでした。",
                         kNotepad, L"notepad.exe を確認してください。");
}

TEST_F(Setup, ASecondSetUpWhileOneRunsChangesNothing)
{
    const Folder before = Snapshot();
    Process first = RunSetup();
    ASSERT_NE(WaitForMessageBox(first.Id(), kInstallTitle), nullptr);
    Process second = RunSetup();
    ExpectErrorReport(second,
                      L"ZanvekNotepad のセットアップが既に実行中のため、何も変更しませんでした。",
                      L"", L"実行中のセットアップを終えてから、もう一度実行してください。");
    EXPECT_EQ(Snapshot(), before);

    ASSERT_TRUE(AnswerMessageBox(first, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(first);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

TEST_F(Setup, ARenamedSetUpCopiesItselfNotTheFileBesideIt)
{
    const std::wstring renamed = L"C:\\dl\\setup.dat", beside = L"C:\\dl\\setup.exe";
    MakeFolders(L"C:\\dl");
    CopyOver(ProgramPath(), renamed);
    CopyOver(StandInEditorPath(), beside);
    const std::string besideBefore = Checksum(ReadBytes(beside));
    Process setup = RunSetup(renamed);
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder());
    EXPECT_EQ(Checksum(ReadBytes(beside)), besideBefore);
}

// While the install prompt waits, another program swaps the downloaded set-up for another build
// that names itself ZanvekNotepad too. What is installed is the image that runs; set-up holds
// its file, so the rename is refused.
TEST_F(Setup, ASetUpSwappedWhileItsPromptWaitsInstallsTheImageThatRuns)
{
    std::string planted = ReadBytes(m_self);
    planted[0x60] ^= 0x20; // in the MS-DOS stub's text: still a Windows program, still ours
    ASSERT_NE(Checksum(planted), m_program);
    Process setup = RunSetup();
    ASSERT_NE(WaitForMessageBox(setup.Id(), kInstallTitle), nullptr);
    const std::wstring aside = kDownloads + L"\\ZanvekNotepad.old";
    if (::MoveFileW(m_self.c_str(), aside.c_str())) {
        WriteBytes(m_self, planted);
    } else {
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        const HANDLE writer =
            ::CreateFileW(m_self.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the running set-up's file can be written";
        if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
    }
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

// notepad.exe is one name of a file that has others (on Windows, the component store's): the
// installation renames a new file over that name and writes into none of them.
TEST_F(Setup, AnotherNameOfNotepadExeKeepsTheSystemNotepad)
{
    MakeFolders(L"C:\\e2e");
    const std::wstring otherName = L"C:\\e2e\\notepad-link.exe";
    ASSERT_TRUE(::CreateHardLinkW(otherName.c_str(), kNotepad.c_str(), nullptr));
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder());
    EXPECT_EQ(Checksum(ReadBytes(otherName)), m_systemNotepad);
}

// DLLs a downloaded set-up might pick up from its own folder, under the names of system DLLs it
// loads after start (the ones it imports at load time are the loader's own affair).
TEST_F(Setup, DllsPlantedBesideTheSetUpAreNeverLoaded)
{
    const wchar_t* const planted[] = {
        L"sfc_os.dll", L"sfc.dll",    L"version.dll",   L"uxtheme.dll", L"comctl32.dll",
        L"imm32.dll",  L"dwmapi.dll", L"cryptbase.dll", L"shlwapi.dll", L"user32.dll",
        L"gdi32.dll",  L"ole32.dll",  L"oleaut32.dll",  L"shell32.dll",
    };
    for (const wchar_t* name : planted)
        CopyOver(PlantedDllPath(), kDownloads + L"\\" + name);
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectRegistrationWindowThenClose(setup);
    EXPECT_EQ(Snapshot(), InstalledFolder());
    for (const wchar_t* name : planted)
        EXPECT_FALSE(Exists(std::wstring(L"C:\\e2e\\planted\\") + name)) << name << " was loaded";
}

TEST_F(Setup, RemovalWithTheBackupHeldOpenKeepsNotepadExe)
{
    MakeInstalled();
    const Folder before = Snapshot();
    {
        // A program reading the backup lets others read it, but not rename it.
        const HeldOpen held(kBackup, FILE_SHARE_READ);
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
        ExpectErrorReport(setup, L"ファイルを置き換えられませんでした。",
                          kBackup + L"\r\n→ " + kNotepad);
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Setup, ABackupThatIsNoProgramIsNotPutBack)
{
    MakeInstalled();
    WriteBytes(kBackup, "");
    const Folder before = Snapshot();
    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(setup, L"notepad.met が元のメモ帳ではないため、元に戻しませんでした。",
                      kBackup, L"notepad.exe と notepad.met を確認してください。");
    EXPECT_EQ(Snapshot(), before);
}

// A copy over notepad.exe that failed after the backup was made (notepad.exe protected by the
// system) leaves the system Notepad in both files: either prompt may go ahead.
TEST_F(Setup, BackupLikeNotepadExeRemoveYesInstallNo)
{
    CopyOver(kNotepad, kBackup);
    AnswerBoth(IDYES, IDNO);
    EXPECT_EQ(Snapshot(), RemovedFolder());
}

TEST_F(Setup, BackupLikeNotepadExeRemoveNoInstallYes)
{
    CopyOver(kNotepad, kBackup);
    AnswerBoth(IDNO, IDYES);
    EXPECT_EQ(Snapshot(), InstalledFolder());
}

} // namespace
} // namespace zn::e2e
