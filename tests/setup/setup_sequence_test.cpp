#include "setup/setup_sequence.h"

#include "setup/fake_setup_host.h"
#include "setup/prompts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zn {
namespace {

using File = FakeSetupHost::File;

// Contents of files, by kind (see the fake): the program being run, an earlier version of it,
// the system Notepad, another Windows program, and two files that are no program.
const std::string kProgram = "MZ ZanvekNotepad 1.1";
const std::string kOldProgram = "MZ ZanvekNotepad 1.0";
const std::string kSystem = "MZ system notepad";
const std::string kAnother = "MZ another program";
const std::string kEmpty;
const std::string kText = "a text file";
const std::string kNoFile = "<no file>";

const SetupPaths kPaths =
    MakeSetupPaths(L"C:\\windows", L"C:\\Users\\me\\Downloads\\ZanvekNotepad.exe");
const std::wstring kRemove(kRemovePromptTitle);
const std::wstring kInstall(kInstallPromptTitle);

// The Windows folder's three files, notepad.ex_, notepad.exe and notepad.met (kNoFile for none),
// and the program in Downloads.
FakeSetupHost Folder(const std::string& staged, const std::string& notepad,
                     const std::string& backup, std::deque<bool> answers)
{
    FakeSetupHost host;
    host.files[kPaths.self] = {kProgram};
    for (const auto& [path, bytes] :
         {std::pair{kPaths.staged, staged}, {kPaths.notepad, notepad}, {kPaths.backup, backup}}) {
        if (bytes != kNoFile) host.files[path] = {bytes};
    }
    host.answers = std::move(answers);
    return host;
}

FakeSetupHost Installed(std::deque<bool> answers)
{
    return Folder(kNoFile, kOldProgram, kSystem, std::move(answers));
}

FakeSetupHost NotInstalled(std::deque<bool> answers)
{
    return Folder(kNoFile, kSystem, kNoFile, std::move(answers));
}

std::string ContentOf(const FakeSetupHost& host, const std::wstring& path)
{
    const auto it = host.files.find(path);
    return it == host.files.end() ? kNoFile : it->second.bytes;
}

// The rule set-up keeps, whatever it met: every content of the Windows folder's three files
// that was not this program still exists in one of them afterwards; a backup is a Windows
// program other than this one, unless it is the very backup that was there before.
void ExpectNothingLost(const FakeSetupHost& before, const FakeSetupHost& after,
                       const std::string& where)
{
    std::vector<std::string> kept;
    for (const std::wstring& path : {kPaths.staged, kPaths.notepad, kPaths.backup})
        kept.push_back(ContentOf(after, path));
    for (const std::wstring& path : {kPaths.staged, kPaths.notepad, kPaths.backup}) {
        const std::string bytes = ContentOf(before, path);
        if (bytes == kNoFile || FakeSetupHost::KindOf(bytes) == FileKind::ThisProgram) continue;
        EXPECT_NE(std::find(kept.begin(), kept.end(), bytes), kept.end())
            << where << ": lost \"" << bytes << "\"";
    }
    const std::string backup = ContentOf(after, kPaths.backup);
    if (backup != kNoFile && backup != ContentOf(before, kPaths.backup)) {
        EXPECT_EQ(FakeSetupHost::KindOf(backup), FileKind::Program)
            << where << ": backup \"" << backup << "\"";
    }
}

// Runs the sequence; the code of the error it raised, or 0.
std::uint32_t RunSetUp(FakeSetupHost& host, bool* result = nullptr)
{
    return ErrorCodeOf([&] {
        const bool installed = bool(RunSetupSequence(host, kPaths));
        if (result != nullptr) *result = installed;
    });
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
         {{kPaths.notepad, {kProgram}}, {kPaths.backup, {kSystem}}}},
        {"not installed, No: nothing changes",
         false,
         {false},
         {kInstall},
         false,
         {{kPaths.notepad, {kSystem}}}},
        {"installed, removal Yes, install No: the system Notepad is back, no backup",
         true,
         {true, false},
         {kRemove, kInstall},
         false,
         {{kPaths.notepad, {kSystem}}}},
        {"installed, removal Yes, install Yes: fresh installation from the restored Notepad",
         true,
         {true, true},
         {kRemove, kInstall},
         true,
         {{kPaths.notepad, {kProgram}}, {kPaths.backup, {kSystem}}}},
        {"installed, removal No, install Yes: program copied again, first backup kept",
         true,
         {false, true},
         {kRemove, kInstall},
         true,
         {{kPaths.notepad, {kProgram}}, {kPaths.backup, {kSystem}}}},
        {"installed, No to both: nothing changes",
         true,
         {false, false},
         {kRemove, kInstall},
         false,
         {{kPaths.notepad, {kOldProgram}}, {kPaths.backup, {kSystem}}}},
    };
    for (const auto& row : rows) {
        FakeSetupHost host = row.installed ? Installed(row.answers) : NotInstalled(row.answers);
        bool result = false;
        EXPECT_EQ(RunSetUp(host, &result), 0u) << row.why;
        EXPECT_EQ(result, row.result) << row.why;
        EXPECT_EQ(host.PromptTitles(), row.prompts) << row.why;
        host.files.erase(kPaths.self);
        EXPECT_EQ(host.files, row.after) << row.why;
    }
}

// Every combination of notepad.ex_, notepad.exe and notepad.met that set-up may meet, with the
// answers that make it do the most (removal and install both run where there is a backup),
// and a few more states and answers where the refusals matter.
TEST(SetupSequence, NoContentIsLostWhateverTheWindowsFolderHolds)
{
    const std::string &no = kNoFile, &zn = kProgram, &old = kOldProgram, &sys = kSystem,
                      &other = kAnother, &empty = kEmpty, &text = kText;
    constexpr bool Y = true, N = false;
    const struct {
        std::string staged, notepad, backup;
        std::deque<bool> answers;
        std::uint32_t error;
        std::string stagedAfter, notepadAfter, backupAfter;
    } rows[] = {
        // No backup: notepad.ex_ is taken only when it is a program other than this one, and
        // then only when notepad.exe is no other program than it.
        {no, sys, no, {Y}, 0, no, zn, sys},
        {empty, sys, no, {Y}, 0, empty, zn, sys},
        {text, sys, no, {Y}, 0, text, zn, sys},
        {zn, sys, no, {Y}, 0, zn, zn, sys},
        {other, sys, no, {Y}, kErrorTwoNotepads, other, sys, no},
        {sys, sys, no, {Y}, 0, no, zn, sys},
        {no, old, no, {Y}, 0, no, zn, no}, // the backup is never a copy of this program
        {empty, old, no, {Y}, 0, empty, zn, no},
        {text, old, no, {Y}, 0, text, zn, no},
        {zn, old, no, {Y}, 0, zn, zn, no},
        {other, old, no, {Y}, 0, no, zn, other},
        {sys, old, no, {Y}, 0, no, zn, sys},
        {no, no, no, {Y}, 2, no, no, no}, // nothing to save: the copy finds no notepad.exe
        {empty, no, no, {Y}, 2, empty, no, no},
        {text, no, no, {Y}, 2, text, no, no},
        {zn, no, no, {Y}, 2, zn, no, no},
        {other, no, no, {Y}, 0, no, zn, other},
        {sys, no, no, {Y}, 0, no, zn, sys},
        // A backup: removal puts it back (over the program, over a copy of itself, or where
        // notepad.exe is missing), then the install starts afresh as above.
        {no, sys, sys, {Y, Y}, 0, no, zn, sys},
        {empty, sys, sys, {Y, Y}, 0, empty, zn, sys},
        {text, sys, sys, {Y, Y}, 0, text, zn, sys},
        {zn, sys, sys, {Y, Y}, 0, zn, zn, sys},
        {other, sys, sys, {Y, Y}, kErrorTwoNotepads, other, sys, no},
        {sys, sys, sys, {Y, Y}, 0, no, zn, sys},
        {no, old, sys, {Y, Y}, 0, no, zn, sys},
        {empty, old, sys, {Y, Y}, 0, empty, zn, sys},
        {text, old, sys, {Y, Y}, 0, text, zn, sys},
        {zn, old, sys, {Y, Y}, 0, zn, zn, sys},
        {other, old, sys, {Y, Y}, kErrorTwoNotepads, other, sys, no},
        {sys, old, sys, {Y, Y}, 0, no, zn, sys},
        {no, no, sys, {Y, Y}, 0, no, zn, sys},
        {empty, no, sys, {Y, Y}, 0, empty, zn, sys},
        {text, no, sys, {Y, Y}, 0, text, zn, sys},
        {zn, no, sys, {Y, Y}, 0, zn, zn, sys},
        {other, no, sys, {Y, Y}, kErrorTwoNotepads, other, sys, no},
        {sys, no, sys, {Y, Y}, 0, no, zn, sys},
        // The backup and notepad.exe alike (a copy over notepad.exe failed after the backup was
        // made): either prompt may go ahead, and the other is left alone.
        {no, sys, sys, {Y, N}, 0, no, sys, no},
        {no, sys, sys, {N, Y}, 0, no, zn, sys},
        // Anything else in notepad.exe next to a backup: neither deleted nor replaced.
        {no, other, sys, {Y}, kErrorNotOurProgram, no, other, sys},
        {no, other, sys, {N, Y}, kErrorNotOurProgram, no, other, sys},
        {no, text, sys, {N, Y}, kErrorNotOurProgram, no, text, sys},
        {no, empty, sys, {Y}, kErrorNotOurProgram, no, empty, sys},
        // No program to save in notepad.exe: no backup is made of it, and it is not replaced.
        {no, text, no, {Y}, kErrorNotAProgram, no, text, no},
        {sys, empty, no, {Y}, kErrorNotAProgram, sys, empty, no},
        // A backup that is no system Notepad is never put back, but may stay as it was.
        {no, old, empty, {Y}, kErrorNotAProgram, no, old, empty},
        {no, old, zn, {Y}, kErrorNotAProgram, no, old, zn},
        {no, old, text, {N, Y}, 0, no, zn, text},
    };
    for (const auto& row : rows) {
        const FakeSetupHost before = Folder(row.staged, row.notepad, row.backup, row.answers);
        FakeSetupHost host = before;
        std::string where = "notepad.ex_ \"" + row.staged + "\", notepad.exe \"" + row.notepad +
                            "\", notepad.met \"" + row.backup + "\", answers";
        for (const bool yes : row.answers)
            where += yes ? " Yes" : " No";
        bool result = false;
        EXPECT_EQ(RunSetUp(host, &result), row.error) << where;
        if (row.error == 0) {
            EXPECT_EQ(result, row.answers.back()) << where;
        }
        EXPECT_EQ(ContentOf(host, kPaths.staged), row.stagedAfter) << where;
        EXPECT_EQ(ContentOf(host, kPaths.notepad), row.notepadAfter) << where;
        EXPECT_EQ(ContentOf(host, kPaths.backup), row.backupAfter) << where;
        ExpectNothingLost(before, host, where);
    }
}

TEST(SetupSequence, InstallingTwiceNeverReplacesTheBackup)
{
    FakeSetupHost host = NotInstalled({true, false, true});
    EXPECT_TRUE(RunSetupSequence(host, kPaths));
    EXPECT_TRUE(RunSetupSequence(host, kPaths)); // removal declined, install accepted
    EXPECT_EQ(host.files[kPaths.backup].bytes, kSystem);
    EXPECT_EQ(host.files[kPaths.notepad].bytes, kProgram);
}

TEST(SetupSequence, AStagedCopyOfNotepadBecomesTheBackupAndNotepadExeIsNotCopied)
{
    FakeSetupHost host = Folder(kSystem, kSystem, kNoFile, {true});
    EXPECT_TRUE(RunSetupSequence(host, kPaths));
    EXPECT_EQ(host.operations, (std::vector<std::wstring>{
                                   L"move " + kPaths.staged + L" " + kPaths.backup,
                                   L"copy " + kPaths.self + L" " + kPaths.notepad,
                               }));
}

// What stops a removal: each is reported, no later prompt shows, and nothing has changed.
TEST(SetupSequence, RemovalThatCannotFinishLeavesEverythingAsItWas)
{
    const struct {
        const char* why;
        void (*spoil)(FakeSetupHost&);
        std::uint32_t error;
    } rows[] = {
        {"the backup held open: the move fails, notepad.exe is still there",
         [](FakeSetupHost& h) { h.files[kPaths.backup].heldOpen = true; }, 32},
        {"notepad.exe read-only: not replaced",
         [](FakeSetupHost& h) { h.files[kPaths.notepad].readOnly = true; }, 5},
        {"notepad.exe running, a launcher waiting for its editor: not replaced",
         [](FakeSetupHost& h) { h.files[kPaths.notepad].heldOpen = true; }, 5},
        {"notepad.exe unreadable: what cannot be checked is not replaced",
         [](FakeSetupHost& h) { h.files[kPaths.notepad].unreadable = true; }, 32},
        {"the backup unreadable",
         [](FakeSetupHost& h) { h.files[kPaths.backup].unreadable = true; }, 32},
    };
    for (const auto& row : rows) {
        FakeSetupHost host = Installed({true});
        row.spoil(host);
        const auto before = host.files;
        EXPECT_EQ(RunSetUp(host), row.error) << row.why;
        EXPECT_EQ(host.files, before) << row.why;
        EXPECT_EQ(host.PromptTitles(), std::vector<std::wstring>{kRemove}) << row.why;
    }
}

TEST(SetupSequence, ReadOnlyNotepadExeStopsTheCopyAfterTheBackupWasMade)
{
    FakeSetupHost host = NotInstalled({true});
    host.files[kPaths.notepad].readOnly = true;
    EXPECT_EQ(RunSetUp(host), 5u);
    EXPECT_EQ(host.files[kPaths.notepad].bytes, kSystem);
    EXPECT_EQ(host.files[kPaths.backup].bytes, kSystem); // the next run may remove or install
}

TEST(SetupSequence, AFolderNamedLikeTheBackupIsNoBackup)
{
    FakeSetupHost host = NotInstalled({true});
    host.folders.insert(kPaths.backup);
    EXPECT_EQ(RunSetUp(host), 80u);
    EXPECT_EQ(host.files[kPaths.notepad].bytes, kSystem);
    EXPECT_EQ(host.PromptTitles(), std::vector<std::wstring>{kInstall}); // no removal offered
}

TEST(SetupSequence, OnlyThisProgramIsCopiedOverNotepadExe)
{
    // The running file was swapped for another after it started.
    FakeSetupHost host = NotInstalled({true});
    host.files[kPaths.self] = {kAnother};
    const auto before = host.files;
    EXPECT_EQ(RunSetUp(host), kErrorNotOurProgram);
    EXPECT_EQ(host.files, before);
}

TEST(SetupSequence, OneSetUpAtATime)
{
    FakeSetupHost host = Installed({true, true});
    bool first = true;
    std::uint32_t secondError = 0;
    std::size_t promptsSeenBySecond = 0, operationsBySecond = 0;
    host.onPrompt = [&] {
        if (!first) return;
        first = false; // a second set-up starts while the first one's removal prompt shows
        const std::size_t prompts = host.prompts.size(), operations = host.operations.size();
        const auto files = host.files;
        secondError = RunSetUp(host);
        promptsSeenBySecond = host.prompts.size() - prompts;
        operationsBySecond = host.operations.size() - operations;
        EXPECT_EQ(host.files, files);
    };
    EXPECT_EQ(RunSetUp(host), 0u);
    EXPECT_EQ(secondError, kErrorSetupRunning);
    EXPECT_EQ(promptsSeenBySecond, 0u);
    EXPECT_EQ(operationsBySecond, 0u);
    EXPECT_EQ(ContentOf(host, kPaths.notepad), kProgram);
    EXPECT_EQ(ContentOf(host, kPaths.backup), kSystem);

    // Ended, normally or by an error, a set-up lets the next one in.
    EXPECT_FALSE(host.locked);
    host.files[kPaths.notepad].readOnly = true;
    host.answers = {true};
    EXPECT_EQ(RunSetUp(host), 5u); // removal refused
    EXPECT_FALSE(host.locked);
    host.answers = {false, false};
    EXPECT_EQ(RunSetUp(host), 0u);
    EXPECT_EQ(host.prompts.size(), 5u);
}

} // namespace
} // namespace zn
