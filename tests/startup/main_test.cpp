#include "startup/main.h"

#include "common/error_code_of.h"
#include "setup/fake_redirect_host.h"
#include "setup/fake_setup_host.h"
#include "setup/prompts.h"

#include <gtest/gtest.h>

#include <optional>

namespace zn {
namespace {

constexpr int kWindowExitCode = 77; // what the fake window returns, to tell it was opened

// Records what Main asks of the system; answers from its fields.
class FakeStartupHost : public StartupHost {
public:
    std::wstring ownFolder = L"C:\\windows";
    std::wstring ownPath; // empty: ZanvekNotepad.exe in ownFolder
    std::wstring windowsFolder = L"C:\\windows";
    std::wstring commandLine = L"C:\\windows\\notepad.exe C:\\memo.txt";
    std::wstring editorPath = L"C:\\Tools\\editor.exe";
    EditorProbe probe = EditorProbe::File;
    int editorExitCode = 42;
    bool windowsFolderFails = false;
    ElevationType elevation = ElevationType::Default;
    bool desktopStartWorks = true;
    FakeSetupHost setup;
    FakeRedirectHost redirection{setup.operations};

    int registryReads = 0, probes = 0, windowsOpened = 0;
    std::vector<InstallKind> windowKinds; // what each opened window was told
    bool setupLockedAtWindow = false;     // a set-up lock held as a window opened or was started
    std::vector<std::pair<std::wstring, std::wstring>> started; // (path, command line)
    int elevationQueries = 0;
    std::vector<std::wstring> desktopStarts; // each program asked for, also when it failed

    OwnExecutable LocateOwnExecutable() override
    {
        return {ownFolder, ownPath.empty() ? ownFolder + L"\\ZanvekNotepad.exe" : ownPath};
    }
    std::wstring WindowsFolder() override
    {
        if (windowsFolderFails) Fail(1, L"no Windows folder");
        return windowsFolder;
    }
    std::wstring FullCommandLine() override { return commandLine; }
    std::wstring ReadEditorPath() override
    {
        ++registryReads;
        return editorPath;
    }
    EditorProbe ProbeEditor(const std::wstring& path) override
    {
        ++probes;
        EXPECT_EQ(path, editorPath);
        return probe;
    }
    int StartEditorAndWait(const std::wstring& path, std::wstring command) override
    {
        started.emplace_back(path, std::move(command));
        return editorExitCode;
    }
    SetupHost& Setup() override { return setup; }
    RedirectHost& Redirection() override { return redirection; }
    int OpenRegistrationWindow(InstallKind kind) override
    {
        windowKinds.push_back(kind);
        setupLockedAtWindow = setupLockedAtWindow || setup.locked;
        ++windowsOpened;
        return kWindowExitCode;
    }
    ElevationType ProcessElevationType() override
    {
        ++elevationQueries;
        return elevation;
    }
    bool StartAsDesktopUser(const std::wstring& program) override
    {
        desktopStarts.push_back(program);
        setupLockedAtWindow = setupLockedAtWindow || setup.locked;
        return desktopStartWorks;
    }
};

TEST(Launcher, StartsTheEditorWithOneReadOneCheckOneStartAndPassesItsExitCode)
{
    FakeStartupHost host;
    EXPECT_EQ(Main(host), 42);
    EXPECT_EQ(host.elevationQueries, 0) << "the launch path asks nothing more of the system";
    EXPECT_EQ(host.registryReads, 1);
    EXPECT_EQ(host.probes, 1);
    ASSERT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.started[0].first, L"C:\\Tools\\editor.exe");
    EXPECT_EQ(host.started[0].second, L"\"C:\\Tools\\editor.exe\" C:\\memo.txt");
    EXPECT_EQ(host.windowsOpened, 0);
}

TEST(Launcher, CommandLinesReachTheEditorAfterTheApostropheRule)
{
    const struct {
        std::wstring_view commandLine, editorCommand;
    } rows[] = {
        {L"notepad.exe 'C:\\memo.txt'", L"\"C:\\Tools\\editor.exe\" C:\\memo.txt"},
        {L"notepad.exe \"C:\\my memo.txt\"", L"\"C:\\Tools\\editor.exe\" \"C:\\my memo.txt\""},
        {L"notepad.exe x'", L"\"C:\\Tools\\editor.exe\" "},
        {L"notepad.exe '", L"\"C:\\Tools\\editor.exe\" "}, // the lone apostrophe is no error
        {L"\"C:\\windows\\notepad.exe\"   /p C:\\a.txt", L"\"C:\\Tools\\editor.exe\" /p C:\\a.txt"},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.commandLine = row.commandLine;
        Main(host);
        ASSERT_EQ(host.started.size(), 1u) << std::wstring(row.commandLine);
        EXPECT_EQ(host.started[0].second, row.editorCommand);
    }
}

TEST(Launcher, OpensTheWindowInsteadWhenThereIsNothingToStart)
{
    const struct {
        const char* why;
        std::wstring commandLine;
        std::wstring editorPath;
        EditorProbe probe;
        int reads, probes;
    } rows[] = {
        {"no command line, even with a valid editor", L"C:\\windows\\notepad.exe", L"C:\\ed.exe",
         EditorProbe::File, 0, 0},
        {"only blanks after the name", L"notepad.exe   ", L"C:\\ed.exe", EditorProbe::File, 0, 0},
        {"no editor registered", L"notepad.exe a.txt", L"", EditorProbe::File, 1, 0},
        {"the registered file is missing", L"notepad.exe a.txt", L"C:\\gone.exe",
         EditorProbe::NoSuchFile, 1, 1},
        {"the registered editor is this program", L"notepad.exe a.txt", L"C:\\WINDOWS\\NOTEPAD.EXE",
         EditorProbe::ThisProgram, 1, 1},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.commandLine = row.commandLine;
        host.editorPath = row.editorPath;
        host.probe = row.probe;
        host.elevation = ElevationType::Full; // the launcher opens its window itself regardless
        EXPECT_EQ(Main(host), kWindowExitCode) << row.why;
        EXPECT_EQ(host.windowsOpened, 1) << row.why;
        EXPECT_EQ(host.elevationQueries, 0) << row.why;
        EXPECT_TRUE(host.desktopStarts.empty()) << row.why;
        EXPECT_TRUE(host.started.empty()) << row.why;
        EXPECT_EQ(host.registryReads, row.reads) << row.why;
        EXPECT_EQ(host.probes, row.probes) << row.why;
    }
}

TEST(Setup, CopiesTheRunningFileItselfAndOpensTheWindowOnceTheSetUpHasEnded)
{
    const struct {
        const char* why;
        std::wstring folder, path;
    } rows[] = {
        {"from Downloads", L"C:\\Users\\me\\Downloads",
         L"C:\\Users\\me\\Downloads\\ZanvekNotepad.exe"},
        {"renamed, beside an unrelated setup.exe", L"C:\\dl", L"C:\\dl\\setup.dat"},
        {"from a drive's root folder", L"C:\\", L"C:\\ZanvekNotepad.exe"},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.ownFolder = row.folder;
        host.ownPath = row.path;
        host.setup.files[L"C:\\windows\\notepad.exe"] = {"MZ system notepad"};
        host.setup.files[row.path] = {"MZ ZanvekNotepad, as run"};
        host.setup.files[L"C:\\dl\\setup.exe"] = {"MZ setup of something else"};
        host.setup.answers = {true};
        EXPECT_EQ(Main(host), kWindowExitCode) << row.why;
        EXPECT_EQ(host.setup.files[L"C:\\windows\\notepad.exe"].bytes, "MZ ZanvekNotepad, as run")
            << row.why;
        EXPECT_EQ(host.setup.files[L"C:\\windows\\notepad.met"].bytes, "MZ system notepad")
            << row.why;
        EXPECT_FALSE(host.setupLockedAtWindow) << row.why;
        EXPECT_EQ(host.registryReads, 0) << row.why;
        EXPECT_TRUE(host.started.empty()) << row.why;
    }
}

TEST(Setup, ASecondSetUpReportsAndChangesNothing)
{
    FakeStartupHost host;
    host.ownFolder = L"C:\\Users\\me\\Downloads";
    host.setup.files[L"C:\\windows\\notepad.exe"] = {"MZ system notepad"};
    host.setup.locked = true; // by the first set-up
    EXPECT_EQ(ErrorCodeOf([&] { Main(host); }), kErrorSetupRunning);
    EXPECT_TRUE(host.setup.prompts.empty());
    EXPECT_TRUE(host.setup.operations.empty());
    EXPECT_EQ(host.windowsOpened, 0);
}

TEST(Setup, DecliningEndsWithoutTheWindow)
{
    FakeStartupHost host;
    host.ownFolder = L"C:\\Users\\me\\Downloads";
    host.elevation = ElevationType::Full;
    host.setup.answers = {false};
    EXPECT_EQ(Main(host), 0);
    EXPECT_EQ(host.windowsOpened, 0);
    EXPECT_EQ(host.elevationQueries, 0);
    EXPECT_TRUE(host.desktopStarts.empty());
}

TEST(Setup, AfterAnInstallationTheWindowOpensAsTheDesktopsUserOnlyWhenRunAsAdministrator)
{
    const struct {
        const char* why;
        ElevationType elevation;
        bool desktopStartWorks;
        bool desktopStartTried, windowInProcess;
    } rows[] = {
        {"run as administrator: the installed launcher opens it", ElevationType::Full, true, true,
         false},
        {"the shell could not start it", ElevationType::Full, false, true, true},
        {"not elevated, no split token", ElevationType::Default, true, false, true},
        {"the unelevated half of a split token", ElevationType::Limited, true, false, true},
    };
    // Where the system protects notepad.exe, the launcher is the redirect copy.
    const struct {
        bool isProtected;
        InstallKind kind;
        std::wstring launcher;
    } systems[] = {
        {false, InstallKind::Copy, L"C:\\WINDOWS\\notepad.exe"},
        {true, InstallKind::Redirect, L"C:\\WINDOWS\\ZanvekNotepad.exe"},
    };
    const std::string kSystemNotepad = "MZ system notepad", kProgram = "MZ ZanvekNotepad";
    for (const auto& system : systems) {
        for (const auto& row : rows) {
            SCOPED_TRACE(row.why);
            SCOPED_TRACE(system.isProtected ? "protected" : "not protected");
            FakeStartupHost host;
            host.ownFolder = L"C:\\Users\\me\\Downloads";
            host.windowsFolder = L"C:\\WINDOWS";
            host.setup.files[L"C:\\WINDOWS\\notepad.exe"] = {kSystemNotepad};
            host.setup.files[L"C:\\Users\\me\\Downloads\\ZanvekNotepad.exe"] = {kProgram};
            host.setup.answers = {true};
            host.redirection.notepadProtected = system.isProtected;
            host.elevation = row.elevation;
            host.desktopStartWorks = row.desktopStartWorks;

            EXPECT_EQ(Main(host), row.windowInProcess ? kWindowExitCode : 0);
            EXPECT_EQ(host.setup.files[L"C:\\WINDOWS\\notepad.exe"].bytes,
                      system.isProtected ? kSystemNotepad : kProgram);
            EXPECT_EQ(host.setup.files[system.launcher].bytes, kProgram);
            EXPECT_FALSE(host.setupLockedAtWindow);
            EXPECT_EQ(host.desktopStarts, row.desktopStartTried
                                              ? std::vector<std::wstring>{system.launcher}
                                              : std::vector<std::wstring>{});
            EXPECT_EQ(host.windowKinds, row.windowInProcess ? std::vector<InstallKind>{system.kind}
                                                            : std::vector<InstallKind>{});
            EXPECT_TRUE(host.started.empty());
        }
    }
}

TEST(Setup, TheLauncherStartedAfterAnInstallationIsTheOneOfItsKind)
{
    const struct {
        InstallKind kind;
        std::wstring_view launcher;
    } rows[] = {
        {InstallKind::Copy, L"C:\\WINDOWS\\notepad.exe"},
        {InstallKind::Redirect, L"C:\\WINDOWS\\ZanvekNotepad.exe"},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.elevation = ElevationType::Full;
        EXPECT_EQ(OpenWindowAfterInstall(host, L"C:\\WINDOWS", row.kind), 0);
        EXPECT_EQ(host.desktopStarts, std::vector<std::wstring>{std::wstring(row.launcher)});
        EXPECT_EQ(host.windowsOpened, 0);

        // When the shell cannot start it, the window set-up opens itself tells of the same kind.
        host.desktopStartWorks = false;
        EXPECT_EQ(OpenWindowAfterInstall(host, L"C:\\WINDOWS", row.kind), kWindowExitCode);
        EXPECT_EQ(host.windowKinds, std::vector<InstallKind>{row.kind});
    }
}

TEST(Setup, AFolderDifferingOnlyInLetterCaseIsNotTheWindowsFolder)
{
    FakeStartupHost host;
    host.ownFolder = L"C:\\WINDOWS";
    host.setup.answers = {false};
    EXPECT_EQ(Main(host), 0);
    EXPECT_EQ(host.setup.PromptTitles(),
              std::vector<std::wstring>{std::wstring(kInstallPromptTitle)});
    EXPECT_TRUE(host.started.empty());
}

TEST(Setup, NoPromptWhenTheWindowsFolderIsUnknown)
{
    FakeStartupHost host;
    host.ownFolder = L"C:\\Users\\me\\Downloads";
    host.windowsFolderFails = true;
    EXPECT_EQ(ErrorCodeOf([&] { Main(host); }), 1u);
    EXPECT_TRUE(host.setup.prompts.empty());
    EXPECT_TRUE(host.setup.operations.empty());
}

TEST(Role, OnlyTheExactWindowsFolderMakesTheLauncher)
{
    EXPECT_EQ(DecideRole(L"C:\\windows", L"C:\\windows"), Role::Launcher);
    EXPECT_EQ(DecideRole(L"C:\\WINDOWS", L"C:\\windows"), Role::Setup); // letter case matters
    EXPECT_EQ(DecideRole(L"C:\\windows\\", L"C:\\windows"), Role::Setup);
    EXPECT_EQ(DecideRole(L"C:\\windows\\system32", L"C:\\windows"), Role::Setup);
    EXPECT_EQ(DecideRole(L"C:\\Users\\me\\Downloads", L"C:\\windows"), Role::Setup);
}

} // namespace
} // namespace zn
