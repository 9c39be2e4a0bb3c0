#include "setup/redirection.h"

#include "setup/fake_redirect_host.h"
#include "setup/fake_setup_host.h"
#include "setup/notepad_option_trees.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace zn {
namespace {

using namespace trees;
using File = FakeSetupHost::File;

// Told apart by their bytes, as the fake says.
const File kProgram{"MZ ZanvekNotepad 1.1"};
const File kOldProgram{"MZ ZanvekNotepad 1.0"};
const File kOtherProgram{"MZ another program"};

const RedirectPaths kPaths = MakeRedirectPaths(L"C:\\windows");

std::vector<RegistryValue>& ValuesAt(NotepadOptions& options, const std::wstring& place)
{
    if (place.empty()) return options.values;
    for (RegistrySubkey& subkey : options.subkeys)
        if (subkey.name == place) return subkey.values;
    throw std::out_of_range("no such subkey");
}

NotepadOptions Installed(const NotepadOptions& options)
{
    EXPECT_FALSE(PlanRedirectInstall(options, kCommand).refusal);
    return Redirected(options);
}

NotepadOptions Removed(NotepadOptions options)
{
    ApplyToModel(options, PlanRedirectRemoval(options, kCommand));
    return options;
}

TEST(RedirectPaths, TheCopyAndTheCommandThatNamesIt)
{
    EXPECT_EQ(kPaths.systemNotepad, L"C:\\windows\\notepad.exe");
    EXPECT_EQ(kPaths.copy, L"C:\\windows\\ZanvekNotepad.exe");
    EXPECT_EQ(kPaths.command, L"\"C:\\windows\\ZanvekNotepad.exe\"");
    EXPECT_EQ(kPaths.command, kCommand);
    // A Windows folder at a drive's root already ends in a backslash.
    EXPECT_EQ(MakeRedirectPaths(L"D:\\").command, L"\"D:\\ZanvekNotepad.exe\"");
}

TEST(RedirectPlan, InstallWritesOnlyDebuggerInEachPlaceAndRemovalRestoresTheTree)
{
    const std::vector<std::uint8_t> ours = EncodeUtf16z(kCommand);
    for (const Accepted& row : AcceptedTrees()) {
        SCOPED_TRACE(row.why);
        EXPECT_FALSE(HasOurDebugger(row.start, kCommand));

        const NotepadOptions installed = Installed(row.start);
        // Ours in every place, and nothing else written: without those values it is the start.
        NotepadOptions withoutOurs = installed;
        for (const std::wstring& place : row.places) {
            std::vector<RegistryValue>& values = ValuesAt(withoutOurs, place);
            const auto debugger = std::find_if(values.begin(), values.end(),
                                               [](const auto& v) { return v.name == L"Debugger"; });
            ASSERT_NE(debugger, values.end()) << "place " << testing::PrintToString(place);
            EXPECT_EQ(debugger->type, kRegSz);
            EXPECT_EQ(debugger->bytes, ours);
            values.erase(debugger);
        }
        NotepadOptions start = row.start;
        start.exists = true;
        EXPECT_EQ(withoutOurs, start);

        EXPECT_TRUE(HasOurDebugger(installed, kCommand));
        EXPECT_TRUE(PlanRedirectInstall(installed, kCommand).changes.empty()) << "install again";
        EXPECT_EQ(Removed(installed), row.start);
    }
}

TEST(RedirectPlan, RefusesAnotherProgramsDebuggerAndNamesIt)
{
    for (const Refused& row : RefusedTrees()) {
        SCOPED_TRACE(row.why);
        const RedirectInstallPlan plan = PlanRedirectInstall(row.start, kCommand);
        ASSERT_TRUE(plan.refusal);
        EXPECT_EQ(*plan.refusal, row.found);
        EXPECT_TRUE(plan.changes.empty());
        // Not ours: not installed, and removal leaves it where it is.
        EXPECT_FALSE(HasOurDebugger(row.start, kCommand));
        EXPECT_EQ(Removed(row.start), row.start);
    }
}

TEST(RedirectPlan, OurCommandInAnotherLetterCaseIsOurs)
{
    NotepadOptions start = Windows10();
    start.values.push_back(Sz(L"DEBUGGER", L"\"c:\\WINDOWS\\zanveknotepad.EXE\""));
    EXPECT_TRUE(HasOurDebugger(start, kCommand));
    const RedirectInstallPlan plan = PlanRedirectInstall(start, kCommand);
    EXPECT_FALSE(plan.refusal);
    EXPECT_TRUE(plan.changes.empty());
    EXPECT_EQ(Removed(start), Windows10());
}

TEST(RedirectPlan, RemovalDeletesTheKeyOnlyWhenNothingElseIsLeftInIt)
{
    const struct {
        const char* why;
        NotepadOptions start;
        bool keyDeleted;
    } rows[] = {
        {"the key we created", {}, true},
        {"an empty key that was there: nothing in it to keep", {true, {}, {}}, true},
        {"a subkey without values keeps it", {true, {}, {{L"x", {}}}}, false},
        {"another value keeps it", Windows10(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const NotepadOptions installed = Installed(row.start);
        const std::vector<RegistryChange> removal = PlanRedirectRemoval(installed, kCommand);
        EXPECT_EQ(removal.back().kind == RegistryChange::Kind::DeleteKey, row.keyDeleted);
        EXPECT_EQ(Removed(installed).exists, !row.keyDeleted);
    }
}

TEST(RedirectPlan, OursLeftInASubkeyOutsideTheFilterCountsAsInstalledAndIsRemoved)
{
    // Switching the filter off does not switch our value off for good: it would act again
    // once the filter is back on, so it is ours to report and to remove.
    NotepadOptions start = Windows11();
    start.values = {Dword(L"UseFilter", 0)};
    start.subkeys[1].values.push_back(Sz(L"Debugger", kCommand));
    EXPECT_TRUE(HasOurDebugger(start, kCommand));
    NotepadOptions expected = start;
    expected.subkeys[1].values.pop_back();
    EXPECT_EQ(Removed(start), expected);
}

// The program in Downloads, the system's notepad.exe, the option key `tree` and, when given,
// what stands at the copy's path.
struct Fakes {
    explicit Fakes(NotepadOptions tree = {}, std::optional<File> copy = std::nullopt)
    {
        files.image = kProgram.bytes;
        files.held = true;
        files.files[kPaths.systemNotepad] = {"MZ system notepad"};
        if (copy) files.files[kPaths.copy] = *copy;
        registry.SetTree(tree);
    }
    FakeSetupHost files;
    FakeRedirectHost registry{files.operations};
    std::map<std::wstring, File> Folder() const { return files.files; }
};

TEST(Redirect, InstallKindFollowsTheProtectionOfTheWindowsFoldersNotepad)
{
    for (const bool isProtected : {true, false}) {
        Fakes fakes;
        fakes.registry.notepadProtected = isProtected;
        EXPECT_EQ(ChooseInstallKind(fakes.registry, kPaths),
                  isProtected ? InstallKind::Redirect : InstallKind::Copy);
        EXPECT_EQ(fakes.registry.asked, std::vector<std::wstring>{L"C:\\windows\\notepad.exe"});
    }
}

TEST(Redirect, InstallPutsAFreshCopyInPlaceFirstThenWritesTheRegistryThenLetsTheOldCopyGo)
{
    Fakes fakes(Windows11(), kOldProgram);
    InstallRedirect(fakes.files, fakes.registry, kPaths);
    const std::vector<std::wstring>& done = fakes.files.operations;
    const std::wstring fresh = L"C:\\windows\\~ZanvekNotepad.1.tmp";
    const std::wstring aside = L"C:\\windows\\~ZanvekNotepad.2.tmp";
    ASSERT_GE(done.size(), 9u);
    EXPECT_EQ(std::vector<std::wstring>(done.begin(), done.begin() + 7),
              (std::vector<std::wstring>{
                  L"write " + fresh,
                  L"move " + kPaths.copy + L" " + aside, // a running copy can be renamed
                  L"move " + fresh + L" " + kPaths.copy,
                  L"registry set []Debugger",
                  L"registry set [0]Debugger",
                  L"registry set [1]Debugger",
                  L"registry set [2]Debugger",
              }));
    EXPECT_EQ(std::vector<std::wstring>(done.end() - 2, done.end()),
              (std::vector<std::wstring>{L"delete " + aside, L"notify shell"}));
    EXPECT_EQ(fakes.files.files[kPaths.copy], kProgram);
    EXPECT_EQ(fakes.files.files.size(), 2u); // the copy and notepad.exe: no temporary file left
    EXPECT_EQ(fakes.files.files[kPaths.systemNotepad].bytes, "MZ system notepad");
    EXPECT_TRUE(RedirectInstalled(fakes.files, fakes.registry, kPaths));
}

TEST(Redirect, InstallRefusesBeforeChangingAnything)
{
    const struct {
        const char* why;
        NotepadOptions tree;
        std::optional<File> copy;   // what stands at the copy's path
        std::wstring foreignProgId; // another program's open command for a ProgID of our name
        std::uint32_t code;
        std::wstring shown; // part of the report's path line
    } rows[] = {
        {"another program's Debugger on the key",
         With(Windows10(), [](NotepadOptions& o) { o.values.push_back(Sz(L"Debugger", L"vi")); }),
         std::nullopt, L"", kErrorForeignDebugger,
         L"Image File Execution Options\\notepad.exe\r\nDebugger = vi"},
        {"another program's Debugger on a filter subkey",
         With(Windows11(),
              [](NotepadOptions& o) { o.subkeys[2].values.push_back(Sz(L"Debugger", L"vi")); }),
         kProgram, L"", kErrorForeignDebugger, L"notepad.exe\\2\r\nDebugger = vi"},
        {"an empty Debugger is named as one",
         With(Windows10(), [](NotepadOptions& o) { o.values.push_back(Sz(L"Debugger", L"")); }),
         std::nullopt, L"", kErrorForeignDebugger, L"Debugger = (空の値)"},
        {"another program where the copy goes", Windows11(), kOtherProgram, L"",
         kErrorNotOurProgram, kPaths.copy},
        {"a read-only earlier copy", Windows11(), File{kOldProgram.bytes, true}, L"", 5u,
         kPaths.copy},
        {"another program's ProgID of our name", Windows11(), std::nullopt,
         L"\"C:\\Tools\\vi.exe\" \"%1\"", kErrorForeignRegistration,
         L"ZanvekNotepad.TextFile\\shell\\open\\command\r\n(既定) = \"C:\\Tools\\vi.exe\" \"%1\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Fakes fakes(row.tree, row.copy);
        if (!row.foreignProgId.empty()) {
            const std::wstring command =
                L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile\\shell\\open\\command";
            fakes.registry.AddLevels(command);
            fakes.registry.keys[command].values = {Sz(L"", row.foreignProgId)};
        }
        const auto registryBefore = fakes.registry.keys;
        const auto before = fakes.Folder();
        try {
            InstallRedirect(fakes.files, fakes.registry, kPaths);
            ADD_FAILURE() << "installed";
        } catch (const AppError& error) {
            EXPECT_EQ(error.code, row.code);
            EXPECT_NE(error.path.find(row.shown), std::wstring::npos)
                << testing::PrintToString(error.path);
        }
        EXPECT_TRUE(fakes.files.operations.empty())
            << testing::PrintToString(fakes.files.operations);
        EXPECT_EQ(fakes.registry.keys, registryBefore);
        EXPECT_EQ(fakes.Folder(), before);
    }
}

// Whichever step fails, the machine is as it was: a place that refuses to be opened for writing
// stops the run before any change; a write that fails later undoes the registry, and the earlier
// copy is back in its place.
TEST(Redirect, InstallIsAllOrNothing)
{
    Fakes probe(Windows11(), kOldProgram);
    InstallRedirect(probe.files, probe.registry, kPaths);
    int writes = 0;
    for (const std::wstring& operation : probe.files.operations)
        writes += operation.starts_with(L"registry ") ? 1 : 0;
    ASSERT_GT(writes, 10);

    for (int failAt = -2; failAt < writes; ++failAt) {
        SCOPED_TRACE(failAt == -2   ? "the Windows folder takes no new file"
                     : failAt == -1 ? "a key that cannot be opened for writing"
                                    : "write " + std::to_string(failAt) + " fails");
        Fakes fakes(Windows11(), kOldProgram);
        if (failAt == -2) fakes.files.fullFolders.insert(kPaths.folder);
        if (failAt == -1) fakes.registry.denied.insert(L"SOFTWARE\\Classes\\.log");
        fakes.registry.failAt = failAt;
        const auto registryBefore = fakes.registry.keys;
        const auto before = fakes.Folder();
        EXPECT_EQ(ErrorCodeOf([&] { InstallRedirect(fakes.files, fakes.registry, kPaths); }),
                  failAt == -2 ? 112u : 5u); // ERROR_DISK_FULL, ERROR_ACCESS_DENIED
        EXPECT_EQ(fakes.registry.keys, registryBefore);
        EXPECT_EQ(fakes.Folder(), before);
        EXPECT_EQ(fakes.registry.notifications, 0);
    }
}

TEST(Redirect, RemovalTakesTheRedirectionAwayBeforeTheCopy)
{
    Fakes fakes(Installed(Windows11()), kOldProgram);
    RemoveRedirect(fakes.files, fakes.registry, kPaths);
    EXPECT_EQ(fakes.files.operations, (std::vector<std::wstring>{
                                          L"registry delete [0]Debugger",
                                          L"registry delete [1]Debugger",
                                          L"registry delete [2]Debugger",
                                          L"registry delete []Debugger",
                                          L"delete " + kPaths.copy,
                                      }));
    EXPECT_EQ(fakes.registry.Tree(), Windows11());
    EXPECT_FALSE(RedirectInstalled(fakes.files, fakes.registry, kPaths));
}

TEST(Redirect, ACopyThatCannotBeDeletedIsReportedAfterTheRedirectionIsGone)
{
    // Refuses as the system refuses a running program, or one the user may not delete.
    struct DenyingHost : FakeSetupHost {
        void RemoveFile(const std::wstring& path) override
        {
            Fail(5, L"ファイルを削除できませんでした。", path, L"管理者として実行してください。");
        }
    };
    // With our Debugger removed first, the run has proved its rights: only the running copy
    // is left as a reason. With nothing in the registry, the advice about rights stays.
    for (const bool registryChanged : {true, false}) {
        SCOPED_TRACE(registryChanged);
        DenyingHost files;
        files.files[kPaths.copy] = kProgram;
        FakeRedirectHost registry(files.operations);
        registry.SetTree(registryChanged ? Installed({}) : NotepadOptions{});
        try {
            RemoveRedirect(files, registry, kPaths);
            ADD_FAILURE() << "removed";
        } catch (const AppError& error) {
            EXPECT_EQ(error.code, 5u);
            EXPECT_EQ(error.path, kPaths.copy);
            EXPECT_EQ(error.what, L"Notepad のリダイレクトは解除しましたが、ファイルを削除できませ"
                                  L"んでした。");
            EXPECT_EQ(error.advice.rfind(L"起動中の ZanvekNotepad.exe", 0), 0u);
            EXPECT_EQ(error.advice.find(L"管理者") != std::wstring::npos, !registryChanged);
        }
        EXPECT_FALSE(registry.Tree().exists);
        // The copy is still this program: the next run offers removal again.
        EXPECT_TRUE(RedirectInstalled(files, registry, kPaths));
    }

    // A copy that cannot even be read to tell what it is (held by a program that shares
    // nothing): the report says that the redirection is gone all the same.
    Fakes fakes(Installed({}), File{"MZ ZanvekNotepad 1.0", false, true});
    try {
        RemoveRedirect(fakes.files, fakes.registry, kPaths);
        ADD_FAILURE() << "removed";
    } catch (const AppError& error) {
        EXPECT_EQ(error.what.rfind(L"Notepad のリダイレクトは解除しましたが、", 0), 0u)
            << testing::PrintToString(error.what);
    }
    EXPECT_FALSE(fakes.registry.Tree().exists);
}

TEST(Redirect, AReadOnlyCopyIsReportedAsReadOnlyNotAsRunning)
{
    Fakes fakes(Installed({}), File{"MZ ZanvekNotepad 1.0", true});
    try {
        RemoveRedirect(fakes.files, fakes.registry, kPaths);
        ADD_FAILURE() << "removed";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, 5u);
        EXPECT_EQ(error.advice, kClearReadOnlyAdvice);
    }
    EXPECT_FALSE(fakes.registry.Tree().exists);
}

TEST(Redirect, InstalledWhenEitherHalfIsThereAndRemovalTakesOnlyWhatIsOurs)
{
    const NotepadOptions foreign =
        With(Windows10(), [](NotepadOptions& o) { o.values.push_back(Sz(L"Debugger", L"vi")); });
    const struct {
        const char* why;
        NotepadOptions tree;
        std::optional<File> copy; // what stands at the copy's path
        bool installed;
        NotepadOptions treeAfterRemoval;
        std::optional<File> copyAfterRemoval;
    } rows[] = {
        {"our Debugger, copy gone", Installed(Windows11()), std::nullopt, true, Windows11(),
         std::nullopt},
        {"our Debugger only in a filter subkey",
         With(Windows11(),
              [](NotepadOptions& o) { o.subkeys[0].values.push_back(Sz(L"Debugger", kCommand)); }),
         std::nullopt, true, Windows11(), std::nullopt},
        {"the copy alone", Windows11(), kOldProgram, true, Windows11(), std::nullopt},
        {"neither", Windows11(), std::nullopt, false, Windows11(), std::nullopt},
        {"another program's Debugger, nothing of ours", foreign, std::nullopt, false, foreign,
         std::nullopt},
        {"another program at the copy's path", Windows11(), kOtherProgram, false, Windows11(),
         kOtherProgram},
        {"no key, no copy", {}, std::nullopt, false, {}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Fakes fakes(row.tree, row.copy);
        EXPECT_EQ(RedirectInstalled(fakes.files, fakes.registry, kPaths), row.installed);
        RemoveRedirect(fakes.files, fakes.registry, kPaths);
        EXPECT_EQ(fakes.registry.Tree(), row.treeAfterRemoval);
        EXPECT_EQ(fakes.Folder(), Fakes({}, row.copyAfterRemoval).Folder());
    }
}

} // namespace
} // namespace zn
