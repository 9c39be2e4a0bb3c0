#include "setup/setup_sequence.h"

#include "setup/default_app.h"

#include "setup/fake_redirect_host.h"
#include "setup/fake_setup_host.h"
#include "setup/notepad_option_trees.h"
#include "setup/prompts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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

const SetupPaths kPaths = MakeSetupPaths(L"C:\\windows");
const std::wstring kRemove(kRemovePromptTitle);
const std::wstring kInstall(kInstallPromptTitle);

// The Windows folder's three files, notepad.ex_, notepad.exe and notepad.met (kNoFile for none);
// the program runs from Downloads.
FakeSetupHost Folder(const std::string& staged, const std::string& notepad,
                     const std::string& backup, std::deque<bool> answers)
{
    FakeSetupHost host;
    host.image = kProgram;
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

// Runs the sequence on a system that does not protect notepad.exe and has no redirection; the
// code of the error it raised, or 0.
std::uint32_t RunSetUp(FakeSetupHost& host, bool* result = nullptr)
{
    FakeRedirectHost unprotected(host.operations);
    return ErrorCodeOf([&] {
        const std::optional<InstallKind> installed = RunSetupSequence(host, unprotected, kPaths);
        EXPECT_NE(installed, InstallKind::Redirect);
        if (result != nullptr) *result = installed.has_value();
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
        EXPECT_EQ(host.files, row.after) << row.why;
    }
}

// A system where either way of installing may have been taken before: the Windows folder's
// files, the notepad.exe option key (as Windows 11 ships it) and the redirect copy, and whether
// the system protects notepad.exe.
struct System {
    System(bool isProtected, bool copyInstalled, bool redirected, std::deque<bool> answers)
    {
        files = copyInstalled ? Installed(std::move(answers)) : NotInstalled(std::move(answers));
        registry.notepadProtected = isProtected;
        registry.SetTree(redirected ? trees::Redirected(trees::Windows11()) : trees::Windows11());
        if (redirected) {
            files.files[kPaths.redirect.copy] = {kOldProgram};
            ApplyAllOrNothing(registry,
                              PlanDefaultAppInstall(ReadSnapshot(registry, DefaultAppKeys()),
                                                    kPaths.redirect.copy)
                                  .changes);
            files.operations.clear();
        }
    }

    // Runs the sequence; the code of the error it raised, or 0.
    std::uint32_t RunSetUp(std::optional<InstallKind>* result = nullptr)
    {
        return ErrorCodeOf([&] {
            const std::optional<InstallKind> installed = RunSetupSequence(files, registry, kPaths);
            if (result != nullptr) *result = installed;
        });
    }

    FakeSetupHost files;
    FakeRedirectHost registry{files.operations};
};

TEST(SetupSequence, BothWaysOfInstallingWithEveryEarlierInstallationAndAnswer)
{
    constexpr bool P = true, U = false, Y = true, N = false;
    const std::optional<InstallKind> copy = InstallKind::Copy, redirect = InstallKind::Redirect,
                                     none = std::nullopt;
    const struct {
        const char* why;
        bool isProtected, copyBefore, redirectBefore;
        std::deque<bool> answers;
        std::optional<InstallKind> result;
        bool copyAfter, redirectAfter;
    } rows[] = {
        {"protected, nothing there, Yes: redirected, notepad.exe untouched, no backup",
         P,
         N,
         N,
         {Y},
         redirect,
         N,
         Y},
        {"protected, nothing there, No", P, N, N, {N}, none, N, N},
        {"not protected, nothing there, Yes: the copy over notepad.exe", U, N, N, {Y}, copy, Y, N},
        {"protected, copy install, removal Yes, install No", P, Y, N, {Y, N}, none, N, N},
        {"protected, copy install, removal Yes, install Yes", P, Y, N, {Y, Y}, redirect, N, Y},
        {"protected, copy install, removal No, install Yes: both", P, Y, N, {N, Y}, redirect, Y, Y},
        {"protected, redirection, removal Yes, install No", P, N, Y, {Y, N}, none, N, N},
        {"protected, redirection, removal Yes, install Yes", P, N, Y, {Y, Y}, redirect, N, Y},
        {"protected, redirection, removal No, install Yes: the copy renewed",
         P,
         N,
         Y,
         {N, Y},
         redirect,
         N,
         Y},
        {"protected, redirection, No to both", P, N, Y, {N, N}, none, N, Y},
        {"not protected, redirection, removal Yes, install No", U, N, Y, {Y, N}, none, N, N},
        {"not protected, redirection, removal Yes, install Yes", U, N, Y, {Y, Y}, copy, Y, N},
        {"not protected, redirection, removal No, install Yes: both", U, N, Y, {N, Y}, copy, Y, Y},
        {"protected, both, removal Yes, install No: all as before either",
         P,
         Y,
         Y,
         {Y, N},
         none,
         N,
         N},
        {"protected, both, removal Yes, install Yes", P, Y, Y, {Y, Y}, redirect, N, Y},
        {"not protected, both, removal Yes, install Yes", U, Y, Y, {Y, Y}, copy, Y, N},
        {"not protected, both, No to both", U, Y, Y, {N, N}, none, Y, Y},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        System system(row.isProtected, row.copyBefore, row.redirectBefore, row.answers);
        std::optional<InstallKind> result;
        EXPECT_EQ(system.RunSetUp(&result), 0u);
        EXPECT_EQ(result, row.result);
        std::vector<std::wstring> prompts{kInstall};
        if (row.copyBefore || row.redirectBefore) prompts.insert(prompts.begin(), kRemove);
        EXPECT_EQ(system.files.PromptTitles(), prompts);
        // What is installed afterwards: freshly by this run (this version), or left as it was.
        const FakeSetupHost& after = system.files;
        if (row.copyAfter) {
            EXPECT_EQ(ContentOf(after, kPaths.notepad), result == copy ? kProgram : kOldProgram);
            EXPECT_EQ(ContentOf(after, kPaths.backup), kSystem);
        } else {
            EXPECT_EQ(ContentOf(after, kPaths.notepad), kSystem);
            EXPECT_EQ(ContentOf(after, kPaths.backup), kNoFile);
        }
        // Either way the machine's registry is exactly that of a system with or without the
        // redirection: a removal leaves nothing of ours behind.
        EXPECT_EQ(system.registry.keys, System(P, N, row.redirectAfter, {}).registry.keys);
        EXPECT_EQ(ContentOf(after, kPaths.redirect.copy), !row.redirectAfter   ? kNoFile
                                                          : result == redirect ? kProgram
                                                                               : kOldProgram);
        EXPECT_EQ(ContentOf(after, kPaths.staged), kNoFile);
    }
}

// What stops a removal of both installations: the redirection is gone by then, the copy
// install stays whole, no install prompt shows, and the next run offers removal again.
TEST(SetupSequence, RemovalOfBothThatCannotFinishHasTakenTheRedirectionAway)
{
    const struct {
        const char* why;
        std::wstring held; // held open by a running program
        std::uint32_t error;
        bool redirectCopyLeft;
    } rows[] = {
        {"the redirect copy running, a launcher waiting for its editor", kPaths.redirect.copy, 5,
         true},
        {"notepad.exe running", kPaths.notepad, 5, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        System system(true, true, true, {true});
        system.files.files[row.held].heldOpen = true;
        EXPECT_EQ(system.RunSetUp(), row.error);
        EXPECT_EQ(system.files.PromptTitles(), std::vector<std::wstring>{kRemove});
        EXPECT_EQ(system.registry.Tree(), trees::Windows11());
        EXPECT_EQ(system.files.IsFile(kPaths.redirect.copy), row.redirectCopyLeft);
        EXPECT_EQ(ContentOf(system.files, kPaths.notepad), kOldProgram);
        EXPECT_EQ(ContentOf(system.files, kPaths.backup), kSystem);

        system.files.answers = {false, false};
        EXPECT_EQ(system.RunSetUp(), 0u);
        const std::vector<std::wstring> promptsOfBothRuns{kRemove, kRemove, kInstall};
        EXPECT_EQ(system.files.PromptTitles(), promptsOfBothRuns);
    }
}

// An earlier version's copy over a protected notepad.exe failed after the backup was made:
// the system Notepad is in both files, and notepad.exe may not be written.
TEST(SetupSequence, ABackupAlikeAProtectedNotepadExeIsRemovedWithoutWritingNotepadExe)
{
    System system(true, false, false, {true, true});
    system.files.files[kPaths.backup] = {kSystem};
    system.files.files[kPaths.notepad].readOnly = true; // as the system refuses to write it
    std::optional<InstallKind> result;
    EXPECT_EQ(system.RunSetUp(&result), 0u);
    EXPECT_EQ(result, InstallKind::Redirect);
    EXPECT_EQ(ContentOf(system.files, kPaths.notepad), kSystem);
    EXPECT_EQ(ContentOf(system.files, kPaths.backup), kNoFile);
    for (const std::wstring& operation : system.files.operations)
        EXPECT_EQ(operation.find(kPaths.notepad), std::wstring::npos) << operation;
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
    bool installed = false;
    EXPECT_EQ(RunSetUp(host, &installed), 0u);
    EXPECT_TRUE(installed);
    EXPECT_EQ(RunSetUp(host, &installed), 0u); // removal declined, install accepted
    EXPECT_TRUE(installed);
    EXPECT_EQ(host.files[kPaths.backup].bytes, kSystem);
    EXPECT_EQ(host.files[kPaths.notepad].bytes, kProgram);
}

TEST(SetupSequence, AStagedCopyOfNotepadBecomesTheBackupAndNotepadExeIsNotCopied)
{
    FakeSetupHost host = Folder(kSystem, kSystem, kNoFile, {true});
    EXPECT_EQ(RunSetUp(host), 0u);
    const std::wstring fresh = L"C:\\windows\\~ZanvekNotepad.1.tmp";
    EXPECT_EQ(host.operations, (std::vector<std::wstring>{
                                   L"write " + fresh,
                                   L"move " + kPaths.staged + L" " + kPaths.backup,
                                   L"move " + fresh + L" " + kPaths.notepad,
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

TEST(SetupSequence, OnlyTheImageThatRunsIsInstalledEitherWay)
{
    for (const bool isProtected : {false, true}) {
        // The file at the program's path is not the one that started: set-up asks nothing.
        System system(isProtected, false, false, {});
        system.files.imageIsAnother = true;
        const auto before = system.files.files;
        EXPECT_EQ(system.RunSetUp(), kErrorNotTheRunningImage);
        EXPECT_TRUE(system.files.prompts.empty());
        EXPECT_EQ(system.files.files, before);
        EXPECT_EQ(system.registry.Tree(), trees::Windows11());
    }
}

// What interrupted runs left in the Windows folder is deleted, and nothing else; except that an
// install cut short between its two renames left the copy the redirection names under a
// temporary name only, and every start of Notepad failing: a copy of this program among the
// leftovers takes its place again first.
TEST(SetupSequence, WhatAnInterruptedRunLeftIsDeletedAndNothingElse)
{
    const std::wstring fresh = L"C:\\windows\\~ZanvekNotepad.9-1.tmp";
    const std::wstring aside = L"C:\\windows\\~ZanvekNotepad.9-2.tmp";
    const std::wstring readOnly = L"C:\\windows\\~ZanvekNotepad.9-3.tmp";
    const struct {
        const char* why;
        bool redirected;
        std::map<std::wstring, File> left;  // besides the Windows folder's files
        std::map<std::wstring, File> after; // of those, and the copy's path
    } rows[] = {
        {"not installed: every leftover of ours goes",
         false,
         {{fresh, {kOldProgram}},
          {aside, {"MZ Zanvek"}},                                     // cut short
          {readOnly, {kOldProgram, true}},                            // read-only: stays
          {L"C:\\windows\\~ZanvekNotepad.tmp", {kText}},              // not a name of ours
          {L"C:\\windows\\system32\\~ZanvekNotepad.1.tmp", {kText}}}, // not in the folder
         {{readOnly, {kOldProgram, true}},
          {L"C:\\windows\\~ZanvekNotepad.tmp", {kText}},
          {L"C:\\windows\\system32\\~ZanvekNotepad.1.tmp", {kText}}}},
        {"redirected, the copy put aside and no new one in its place: it is put back",
         true,
         {{aside, {kOldProgram}}, {L"C:\\windows\\~ZanvekNotepad.9-0.tmp", {"MZ Zanvek"}}},
         {{kPaths.redirect.copy, {kOldProgram}}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        // No to each prompt: the removal's (when installed) and the install's.
        System system(true, false, row.redirected,
                      row.redirected ? std::deque<bool>{false, false} : std::deque<bool>{false});
        system.files.files.erase(kPaths.redirect.copy);
        auto expected = system.files.files;
        for (const auto& [path, file] : row.left)
            system.files.files[path] = file;
        for (const auto& [path, file] : row.after)
            expected[path] = file;
        EXPECT_EQ(system.RunSetUp(), 0u);
        EXPECT_EQ(system.files.files, expected);
    }
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
