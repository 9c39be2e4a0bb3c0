#include "setup/setup_sequence.h"

#include "setup/fake_setup_host.h"
#include "setup/prompts.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using File = FakeSetupHost::File;

const File kProgram{"program", false, true};
const File kOldProgram{"program (old)", false, true};
const File kSystemNotepad{"system notepad"};

const SetupPaths kPaths =
    MakeSetupPaths(L"C:\\windows", L"C:\\Users\\me\\Downloads", L"ZanvekNotepad");
const std::wstring kRemove(kRemovePromptTitle);
const std::wstring kInstall(kInstallPromptTitle);

// A Windows folder in one of the states set-up meets, plus the program in Downloads.
FakeSetupHost Folder(bool installed, std::deque<bool> answers)
{
    FakeSetupHost host;
    host.files[kPaths.self] = kProgram;
    if (installed) {
        host.files[kPaths.notepad] = kOldProgram;
        host.files[kPaths.backup] = kSystemNotepad;
    } else {
        host.files[kPaths.notepad] = kSystemNotepad;
    }
    host.answers = std::move(answers);
    return host;
}

TEST(SetupPaths, AreBuiltByPlainConcatenation)
{
    EXPECT_EQ(kPaths.notepad, L"C:\\windows\\notepad.exe");
    EXPECT_EQ(kPaths.backup, L"C:\\windows\\notepad.met");
    EXPECT_EQ(kPaths.staged, L"C:\\windows\\notepad.ex_");
    EXPECT_EQ(kPaths.self, L"C:\\Users\\me\\Downloads\\ZanvekNotepad.exe");
    // From a drive's root: two backslashes in a row, and the extension is always ".exe".
    EXPECT_EQ(MakeSetupPaths(L"C:\\windows", L"C:\\", L"Zanvek").self, L"C:\\\\Zanvek.exe");
}

TEST(SetupSequence, PromptTextsAreExact)
{
    FakeSetupHost host = Folder(true, {false, false});
    RunSetupSequence(host, kPaths);
    ASSERT_EQ(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[0].text, L"ZanvekNotePadをUninstallしますか？");
    EXPECT_EQ(host.prompts[0].title, L"Uninstall");
    EXPECT_EQ(host.prompts[1].text, L"ZanvekNOTEPAD をインストールしますか？");
    EXPECT_EQ(host.prompts[1].title, L"ZanvekNOTEPAD");
}

TEST(SetupSequence, EveryCombinationOfStateAndAnswers)
{
    const struct {
        const char* why;
        bool installed;
        std::deque<bool> answers;
        std::vector<std::wstring> prompts;
        bool result;
        std::map<std::wstring, File> after; // the Windows folder's two files
    } rows[] = {
        {"not installed, Yes: backup of the system Notepad, program over notepad.exe",
         false,
         {true},
         {kInstall},
         true,
         {{kPaths.notepad, kProgram}, {kPaths.backup, kSystemNotepad}}},
        {"not installed, No: nothing changes",
         false,
         {false},
         {kInstall},
         false,
         {{kPaths.notepad, kSystemNotepad}}},
        {"installed, removal Yes, install No: the system Notepad is back, no backup",
         true,
         {true, false},
         {kRemove, kInstall},
         false,
         {{kPaths.notepad, kSystemNotepad}}},
        {"installed, removal Yes, install Yes: fresh installation from the restored Notepad",
         true,
         {true, true},
         {kRemove, kInstall},
         true,
         {{kPaths.notepad, kProgram}, {kPaths.backup, kSystemNotepad}}},
        {"installed, removal No, install Yes: program copied again, first backup kept",
         true,
         {false, true},
         {kRemove, kInstall},
         true,
         {{kPaths.notepad, kProgram}, {kPaths.backup, kSystemNotepad}}},
        {"installed, No to both: nothing changes",
         true,
         {false, false},
         {kRemove, kInstall},
         false,
         {{kPaths.notepad, kOldProgram}, {kPaths.backup, kSystemNotepad}}},
    };
    for (const auto& row : rows) {
        FakeSetupHost host = Folder(row.installed, row.answers);
        EXPECT_EQ(bool(RunSetupSequence(host, kPaths)), row.result) << row.why;
        EXPECT_EQ(host.PromptTitles(), row.prompts) << row.why;
        host.files.erase(kPaths.self);
        EXPECT_EQ(host.files, row.after) << row.why;
    }
}

TEST(SetupSequence, InstallingTwiceNeverReplacesTheBackup)
{
    FakeSetupHost host = Folder(false, {true, false, true});
    EXPECT_TRUE(RunSetupSequence(host, kPaths));
    EXPECT_TRUE(RunSetupSequence(host, kPaths)); // removal declined, install accepted
    EXPECT_EQ(host.files[kPaths.backup].content, "system notepad");
    EXPECT_EQ(host.files[kPaths.notepad].content, "program");
}

TEST(SetupSequence, StagedNotepadBecomesTheBackupAndNotepadExeIsNotCopied)
{
    FakeSetupHost host = Folder(false, {true});
    host.files[kPaths.staged] = {"staged notepad"};
    EXPECT_TRUE(RunSetupSequence(host, kPaths));
    EXPECT_EQ(host.operations, (std::vector<std::wstring>{
                                   L"move " + kPaths.staged + L" " + kPaths.backup,
                                   L"copy " + kPaths.self + L" " + kPaths.notepad,
                               }));
    EXPECT_EQ(host.files[kPaths.backup].content, "staged notepad");
    EXPECT_FALSE(host.files.contains(kPaths.staged));
}

TEST(SetupSequence, RemovalWithoutNotepadExeFailsAndKeepsTheBackup)
{
    FakeSetupHost host = Folder(true, {true});
    host.files.erase(kPaths.notepad);
    EXPECT_EQ(ErrorCodeOf([&] { RunSetupSequence(host, kPaths); }), 2u);
    EXPECT_EQ(host.files[kPaths.backup].content, "system notepad");
    EXPECT_EQ(host.PromptTitles(),
              std::vector<std::wstring>{kRemove}); // no install prompt after it
}

TEST(SetupSequence, ReadOnlyNotepadExeStopsRemovalBeforeAnythingChanges)
{
    FakeSetupHost host = Folder(true, {true});
    host.files[kPaths.notepad].readOnly = true;
    const auto before = host.files;
    EXPECT_EQ(ErrorCodeOf([&] { RunSetupSequence(host, kPaths); }), 5u);
    EXPECT_EQ(host.files, before);
}

TEST(SetupSequence, ReadOnlyNotepadExeStopsTheCopyAfterTheBackupWasMade)
{
    FakeSetupHost host = Folder(false, {true});
    host.files[kPaths.notepad].readOnly = true;
    EXPECT_EQ(ErrorCodeOf([&] { RunSetupSequence(host, kPaths); }), 5u);
    EXPECT_EQ(host.files[kPaths.notepad].content, "system notepad");
    EXPECT_EQ(host.files[kPaths.backup].content, "system notepad"); // the next run offers removal
}

TEST(SetupSequence, AFolderNamedLikeTheBackupIsNoBackup)
{
    FakeSetupHost host = Folder(false, {true});
    host.folders.insert(kPaths.backup);
    EXPECT_EQ(ErrorCodeOf([&] { RunSetupSequence(host, kPaths); }), 5u);
    EXPECT_EQ(host.files[kPaths.notepad].content, "system notepad");
    EXPECT_EQ(host.PromptTitles(), std::vector<std::wstring>{kInstall}); // no removal offered
}

TEST(SetupSequence, CopiesFromADrivesRoot)
{
    const SetupPaths fromRoot = MakeSetupPaths(L"C:\\windows", L"C:\\", L"ZanvekNotepad");
    FakeSetupHost host;
    host.files[L"C:\\ZanvekNotepad.exe"] = kProgram;
    host.files[fromRoot.notepad] = kSystemNotepad;
    host.answers = {true};
    EXPECT_TRUE(RunSetupSequence(host, fromRoot));
    EXPECT_EQ(host.files[fromRoot.notepad].content, "program");
}

TEST(SetupSequence, SomethingElseInNotepadExeIsNeitherDeletedNorReplacedOnceABackupExists)
{
    // An update put a new system Notepad back while the old one is the backup.
    for (const bool removeAnswer : {true, false}) {
        FakeSetupHost host = Folder(true, {removeAnswer, true});
        host.files[kPaths.notepad] = {"newer system notepad"};
        const auto before = host.files;
        EXPECT_EQ(ErrorCodeOf([&] { RunSetupSequence(host, kPaths); }), kErrorNotOurProgram)
            << removeAnswer;
        EXPECT_EQ(host.files, before) << removeAnswer;
        EXPECT_TRUE(host.operations.empty()) << removeAnswer;
    }
}

TEST(SetupSequence, TheBackupIsNeverMadeFromACopyOfThisProgram)
{
    // The backup was lost while the program was installed: nothing of the system Notepad is
    // left to save, and a "backup" of the program would later be restored as notepad.exe.
    FakeSetupHost host = Folder(true, {true});
    host.files.erase(kPaths.backup);
    EXPECT_TRUE(RunSetupSequence(host, kPaths));
    EXPECT_FALSE(host.files.contains(kPaths.backup));
    EXPECT_EQ(host.files[kPaths.notepad], kProgram);
}

} // namespace
} // namespace zn
