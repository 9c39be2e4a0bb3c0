#include "startup/main.h"

#include "common/error_code_of.h"
#include "common/pe_image_builder.h"
#include "setup/fake_redirect_host.h"
#include "setup/fake_setup_host.h"
#include "setup/prompts.h"
#include "startup/command_line.h"
#include "startup/nesting.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace zn {
namespace {

using namespace std::chrono_literals;

constexpr int kWindowExitCode = 77; // what the fake window returns, to tell it was opened

// The version resource every build of the program carries, whatever its version.
const testing::Bytes kOurVersion = testing::VersionInfo(
    {{L"041104B0", {{L"InternalName", L"ZanvekNotepad"}, {L"ProductName", L"ZanvekNotepad"}}}});

// Records what Main asks of the system; answers from its fields.
class FakeStartupHost : public StartupHost {
public:
    std::wstring ownFolder = L"C:\\windows";
    std::wstring ownFileName = L"notepad.exe"; // the name the launcher goes by
    std::wstring ownPath;                      // empty: ZanvekNotepad.exe in ownFolder
    std::wstring windowsFolder = L"C:\\windows";
    // The file system's spelling of a folder; a folder not listed is spelled as given, and
    // one listed with the empty text cannot be opened.
    std::map<std::wstring, std::wstring> canonicalFolders;
    std::wstring commandLine = L"C:\\windows\\notepad.exe C:\\memo.txt";
    std::wstring editorPath = L"C:\\Tools\\editor.exe";
    EditorProbe probe = EditorProbe::File;
    testing::Bytes editorHead = testing::PeImage({});
    testing::Bytes editorVersion; // the editor's version resource; empty: none
    // What the file system answers for a document's path; a path not listed is Elsewhere.
    std::map<std::wstring, DocumentPlace> documents;
    std::map<std::wstring, std::wstring> environment;
    int editorExitCode = 42;
    bool windowsFolderFails = false;
    ElevationType elevation = ElevationType::Default;
    bool desktopStartWorks = true; // false: the shell failed, or did not answer within the limit
    bool launcherWindowAppears = true;
    FakeSetupHost setup;
    FakeRedirectHost redirection{setup.operations};

    int registryReads = 0, probes = 0, windowsOpened = 0, canonicalLookups = 0, placeQueries = 0;
    std::vector<InstallKind> windowKinds; // what each opened window was told
    std::vector<WindowSettings> windowSettings;
    bool setupLockedAtWindow = false; // a set-up lock held as a window opened or was started
    std::vector<std::pair<std::wstring, std::wstring>> started; // (path, command line)
    std::vector<std::wstring> depthsAtStart; // the nesting variable as each editor started
    int elevationQueries = 0;
    std::vector<std::wstring> desktopStarts; // each program asked for, also when it failed
    std::vector<std::chrono::milliseconds> desktopStartLimits;
    std::uint64_t clock = 1000; // advances with every reading
    std::uint64_t clockAtDesktopStart = 0;
    struct WindowWait {
        std::wstring program;
        std::uint64_t startedAfter;
        std::chrono::milliseconds limit;
        friend bool operator==(const WindowWait&, const WindowWait&) = default;
    };
    std::vector<WindowWait> windowWaits;

    OwnExecutable LocateOwnExecutable() override
    {
        return {ownFolder, ownFileName,
                ownPath.empty() ? ownFolder + L"\\ZanvekNotepad.exe" : ownPath};
    }
    std::wstring WindowsFolder() override
    {
        if (windowsFolderFails) Fail(1, L"no Windows folder");
        return windowsFolder;
    }
    std::wstring CanonicalFolder(const std::wstring& folder) override
    {
        ++canonicalLookups;
        const auto it = canonicalFolders.find(folder);
        return it != canonicalFolders.end() ? it->second : folder;
    }
    std::wstring FullCommandLine() override { return commandLine; }
    std::wstring ReadEditorPath() override
    {
        ++registryReads;
        return editorPath;
    }
    EditorFile OpenEditor(const std::wstring& path) override
    {
        ++probes;
        EXPECT_EQ(path, editorPath);
        if (probe != EditorProbe::File) return {probe, {}, {}};
        return {probe, editorHead, editorVersion};
    }
    DocumentPlace PlaceOfDocument(const std::wstring& path) override
    {
        ++placeQueries;
        const auto it = documents.find(path);
        return it != documents.end() ? it->second : DocumentPlace::Elsewhere;
    }
    std::optional<std::wstring> Environment(const std::wstring& name) override
    {
        const auto it = environment.find(name);
        return it != environment.end() ? std::optional(it->second) : std::nullopt;
    }
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override
    {
        environment[name] = value;
    }
    int StartEditorAndWait(const std::wstring& path, std::wstring command) override
    {
        started.emplace_back(path, std::move(command));
        const auto depth = Environment(std::wstring(kNestingVariable));
        depthsAtStart.push_back(depth ? *depth : L"<unset>");
        return editorExitCode;
    }
    SetupHost& Setup() override { return setup; }
    RedirectHost& Redirection() override { return redirection; }
    int OpenRegistrationWindow(const WindowSettings& settings) override
    {
        windowKinds.push_back(settings.kind);
        windowSettings.push_back(settings);
        setupLockedAtWindow = setupLockedAtWindow || setup.locked;
        ++windowsOpened;
        return kWindowExitCode;
    }
    ElevationType ProcessElevationType() override
    {
        ++elevationQueries;
        return elevation;
    }
    bool StartAsDesktopUser(const std::wstring& program, std::chrono::milliseconds limit) override
    {
        desktopStarts.push_back(program);
        desktopStartLimits.push_back(limit);
        clockAtDesktopStart = clock;
        setupLockedAtWindow = setupLockedAtWindow || setup.locked;
        return desktopStartWorks;
    }
    std::uint64_t SystemTime() override { return clock += 10; }
    bool WaitForRegistrationWindow(const std::wstring& program, std::uint64_t startedAfter,
                                   std::chrono::milliseconds limit) override
    {
        windowWaits.push_back({program, startedAfter, limit});
        return launcherWindowAppears;
    }
};

TEST(Launcher, StartsTheEditorWithOneReadOneCheckOneStartAndPassesItsExitCode)
{
    FakeStartupHost host;
    EXPECT_EQ(Main(host), 42);
    EXPECT_EQ(host.elevationQueries, 0) << "the launch path asks nothing more of the system";
    EXPECT_EQ(host.registryReads, 1);
    EXPECT_EQ(host.probes, 1);
    EXPECT_EQ(host.canonicalLookups, 0); // the two spellings agree: no lookup on the launch path
    EXPECT_EQ(host.placeQueries, 0);     // a document without blanks is not looked up
    ASSERT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.started[0].first, L"C:\\Tools\\editor.exe");
    EXPECT_EQ(host.started[0].second, L"\"C:\\Tools\\editor.exe\" C:\\memo.txt");
    EXPECT_EQ(host.windowsOpened, 0);
}

TEST(Launcher, CommandLinesReachTheEditorAfterTheApostropheRule)
{
    using enum DocumentPlace;
    const std::wstring blanks = L"C:\\Users\\me\\New Text Document.txt";
    const struct {
        std::wstring commandLine;
        DocumentPlace place; // the file system's answer for the argument, when asked
        std::wstring editorCommand;
        int placeQueries;
    } rows[] = {
        {L"notepad.exe 'C:\\memo.txt'", File, L"\"C:\\Tools\\editor.exe\" C:\\memo.txt", 0},
        {L"notepad.exe \"C:\\my memo.txt\"", File, L"\"C:\\Tools\\editor.exe\" \"C:\\my memo.txt\"",
         0},
        {L"notepad.exe x'", File, L"\"C:\\Tools\\editor.exe\" ", 0},
        {L"notepad.exe '", File, L"\"C:\\Tools\\editor.exe\" ",
         0}, // the lone apostrophe is no error
        {L"\"C:\\windows\\notepad.exe\"   /p C:\\a.txt", File,
         L"\"C:\\Tools\\editor.exe\" /p C:\\a.txt", 0},
        // Only the redirect copy drops a Notepad token: as notepad.exe it is Notepad's argument.
        {L"notepad.exe notepad.exe C:\\a.txt", File,
         L"\"C:\\Tools\\editor.exe\" notepad.exe C:\\a.txt", 0},
        // The shell's unquoted %1: one document, existing or to be made in an existing folder,
        // goes in quotes; anything else exactly as it came.
        {L"notepad.exe " + blanks, File, L"\"C:\\Tools\\editor.exe\" \"" + blanks + L"\"", 1},
        {L"notepad.exe " + blanks, NewFile, L"\"C:\\Tools\\editor.exe\" \"" + blanks + L"\"", 1},
        {L"notepad.exe " + blanks, Elsewhere, L"\"C:\\Tools\\editor.exe\" " + blanks, 1},
        {L"notepad.exe '" + blanks + L"'", File, L"\"C:\\Tools\\editor.exe\" \"" + blanks + L"\"",
         1},
        {L"notepad.exe C:\\a\tb.txt", File, L"\"C:\\Tools\\editor.exe\" \"C:\\a\tb.txt\"", 1},
        // In "C:\My Notes\" a closing quote would follow a backslash and be taken literally.
        {L"notepad.exe C:\\My Notes\\", File, L"\"C:\\Tools\\editor.exe\" C:\\My Notes\\", 0},
        // The print verb, a quote inside: never looked up.
        {L"notepad.exe /p " + blanks, File, L"\"C:\\Tools\\editor.exe\" /p " + blanks, 0},
        {L"notepad.exe C:\\a b\"c.txt", File, L"\"C:\\Tools\\editor.exe\" C:\\a b\"c.txt", 0},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.commandLine = row.commandLine;
        host.documents[std::wstring(ApplyApostropheRule(CommandLineTail(row.commandLine)))] =
            row.place;
        Main(host);
        ASSERT_EQ(host.started.size(), 1u) << row.commandLine;
        EXPECT_EQ(host.started[0].second, row.editorCommand) << row.commandLine;
        EXPECT_EQ(host.placeQueries, row.placeQueries) << row.commandLine;
    }
}

TEST(Launcher, OpensTheWindowInsteadWhenThereIsNothingToStart)
{
    using enum EditorProbe;
    const testing::Bytes ourImage = testing::PeImage(kOurVersion);
    const struct {
        const char* why;
        std::wstring commandLine;
        std::wstring editorPath;
        EditorProbe probe;
        testing::Bytes version; // the editor's version resource
        int reads, probes;
    } rows[] = {
        {"no command line, even with a valid editor",
         L"C:\\windows\\notepad.exe",
         L"C:\\ed.exe",
         File,
         {},
         0,
         0},
        {"only blanks after the name", L"notepad.exe   ", L"C:\\ed.exe", File, {}, 0, 0},
        {"no editor registered", L"notepad.exe a.txt", L"", File, {}, 1, 0},
        {"the registered file is missing",
         L"notepad.exe a.txt",
         L"C:\\gone.exe",
         NoSuchFile,
         {},
         1,
         1},
        {"the registered path is a folder", L"notepad.exe a.txt", L"C:\\Tools", Folder, {}, 1, 1},
        {"the registered editor is this program", L"notepad.exe a.txt", L"C:\\WINDOWS\\NOTEPAD.EXE",
         File, kOurVersion, 1, 1},
        // Set-up run from the download folder would offer to uninstall at every Notepad start.
        {"a copy of this program anywhere, under any name", L"notepad.exe a.txt",
         L"C:\\ed\\copy.exe", File, kOurVersion, 1, 1},
        // A path that is not full would be looked up from the caller's current folder: no file
        // is even looked at.
        {"a bare file name", L"notepad.exe a.txt", L"ed.exe", File, {}, 1, 0},
        {"a path relative to the current folder",
         L"notepad.exe a.txt",
         L"..\\Tools\\ed.exe",
         File,
         {},
         1,
         0},
        {"a path on the current drive", L"notepad.exe a.txt", L"\\Tools\\ed.exe", File, {}, 1, 0},
        {"a path in the current folder of a drive",
         L"notepad.exe a.txt",
         L"C:ed.exe",
         File,
         {},
         1,
         0},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.commandLine = row.commandLine;
        host.editorPath = row.editorPath;
        host.probe = row.probe;
        host.editorVersion = row.version;
        if (!row.version.empty()) host.editorHead = ourImage;
        host.elevation = ElevationType::Full; // the launcher opens its window itself regardless
        EXPECT_EQ(Main(host), kWindowExitCode) << row.why;
        EXPECT_EQ(host.windowsOpened, 1) << row.why;
        EXPECT_EQ(host.windowKinds, std::vector<InstallKind>{InstallKind::Copy}) << row.why;
        // The launcher's window keeps the OLE drop whatever its token (Wine reports Full for
        // every process), and offers no default-app page after a copy installation.
        EXPECT_EQ(host.windowSettings, std::vector<WindowSettings>{{InstallKind::Copy}}) << row.why;
        EXPECT_EQ(host.elevationQueries, 0) << row.why;
        EXPECT_TRUE(host.desktopStarts.empty()) << row.why;
        EXPECT_TRUE(host.started.empty()) << row.why;
        EXPECT_EQ(host.registryReads, row.reads) << row.why;
        EXPECT_EQ(host.probes, row.probes) << row.why;
    }
}

TEST(Launcher, StartsOnlyAWindowsProgramThatIsNoCommandScript)
{
    using testing::Bytes;
    using enum EditorProbe;
    const Bytes program = testing::PeImage({});
    Bytes dll = program;
    testing::Put16(dll, 0x40 + 4 + 18, 0x2022);
    const std::string script = "@echo off\r\n";
    const std::wstring aliases = L"C:\\Users\\me\\AppData\\Local\\Microsoft\\WindowsApps\\";
    testing::VersionInfo({{L"041104B0", {{L"InternalName", L"ZanvekNotepad"}}}});
    const struct {
        std::wstring editorPath;
        EditorProbe probe;
        Bytes head, version;
        bool starts;
    } rows[] = {
        {L"C:\\Tools\\editor.exe", File, program, {}, true},
        {L"C:\\Tools\\editor", File, program, {}, true},         // no extension is needed
        {L"C:\\Tools\\run.bat.exe", File, program, {}, true},    // only the last extension counts
        {L"C:\\Tools\\editor.cmdline", File, program, {}, true}, // not .cmd
        {L"C:\\Tools\\editor.exe", File, Bytes(script.begin(), script.end()), {}, false},
        {L"C:\\Tools\\editor.exe", File, dll, {}, false},
        {L"C:\\Tools\\editor.exe", File, {}, {}, false},
        {L"C:\\Tools\\editor.exe", File, Bytes(program.begin(), program.begin() + 0x50), {}, false},
        // The command interpreter would run what the document's name holds, whatever the
        // file's bytes.
        {L"C:\\Tools\\editor.bat", File, program, {}, false},
        {L"C:\\Tools\\editor.CMD", File, program, {}, false},
        {L"C:\\Tools\\editor.Bat", File, program, {}, false},
        {L"C:\\Tools\\editor.bat.", File, program, {}, false}, // opened as editor.bat
        {L"C:\\Tools\\editor.cmd  ", File, program, {}, false},
        // An app execution alias cannot be read, but the system starts it; its name still counts.
        {aliases + L"editor.exe", AppAlias, {}, {}, true},
        {aliases + L"editor.cmd", AppAlias, {}, {}, false},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.commandLine = L"notepad.exe C:\\R&echo x>C:\\pwn.txt";
        host.editorPath = row.editorPath;
        host.probe = row.probe;
        host.editorHead = row.head;
        host.editorVersion = row.version;
        const std::uint32_t code = ErrorCodeOf([&] { Main(host); });
        EXPECT_EQ(host.started.size(), row.starts ? 1u : 0u) << row.editorPath;
        EXPECT_EQ(code, row.starts ? 0u : kErrorEditorNotAProgram) << row.editorPath;
        EXPECT_EQ(host.windowsOpened, 0) << row.editorPath;
    }
}

TEST(Launcher, ACommandLineBeyondTheSystemsLimitStartsNothing)
{
    // The editor's command line is its quoted path, a space and the argument after the
    // apostrophe rule: 22 characters here before the argument, and 32,767 with the NUL at most.
    const std::wstring editor = L"C:\\Tools\\editor.exe";
    const std::size_t room = kCommandLineLimit - 1 - (editor.size() + 3);
    const std::wstring document = L"C:\\a b" + std::wstring(room - 6, L'a');
    const struct {
        std::wstring tail;
        bool starts;
    } rows[] = {
        {std::wstring(room, L'a'), true},
        {std::wstring(room + 1, L'a'), false},
        {L"'" + std::wstring(room, L'a') + L"'", true}, // judged after the apostrophe rule
        {L"'" + std::wstring(room + 1, L'a') + L"'", false},
        {std::wstring(32754, L'a'), false},
        {document.substr(0, room - 2), true}, // the quotes around one document count
        {document.substr(0, room - 1), false},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.editorPath = editor;
        host.commandLine = L"notepad.exe " + row.tail;
        host.documents[row.tail] = DocumentPlace::File;
        const std::uint32_t code = ErrorCodeOf([&] { Main(host); });
        EXPECT_EQ(code, row.starts ? 0u : kErrorCommandLineTooLong) << row.tail.size();
        ASSERT_EQ(host.started.size(), row.starts ? 1u : 0u) << row.tail.size();
        if (row.starts) {
            EXPECT_EQ(host.started[0].second.size() + 1, kCommandLineLimit);
        }
        EXPECT_EQ(host.windowsOpened, 0);
    }
}

// An editor that starts Notepad again for the same document (by a setting of its own, or a
// script of it) starts the launcher again. Each launch passes the depth on to its editor and
// everything the editor starts; the one that would start the fifth nested editor stops.
TEST(Launcher, PassesTheNestingDepthOnAndStartsNoFifthNestedEditor)
{
    const struct {
        std::optional<std::wstring> inherited;
        std::optional<std::wstring> passedOn; // none: a loop reported, nothing started
    } rows[] = {
        {std::nullopt, L"1"},
        {L"3", L"4"},
        {L"4", std::nullopt},
        {L"4294967297", std::nullopt}, // never wraps round to 1
        {L"99999999999999999999999999999999", std::nullopt},
        // Not a depth of ours: counted as none.
        {L"", L"1"},
        {L"-7", L"1"},
        {L" 9", L"1"},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        if (row.inherited) host.environment[std::wstring(kNestingVariable)] = *row.inherited;
        try {
            EXPECT_EQ(Main(host), 42);
            EXPECT_TRUE(row.passedOn) << "no loop reported at " << *row.inherited;
        } catch (const AppError& error) {
            EXPECT_FALSE(row.passedOn) << "a loop reported at " << row.inherited.value_or(L"");
            EXPECT_EQ(error.code, kErrorEditorLoop);
            EXPECT_EQ(error.path, host.editorPath); // the report names the editor
        }
        // Set before the start, so that the editor inherits it.
        EXPECT_EQ(host.depthsAtStart, row.passedOn ? std::vector<std::wstring>{*row.passedOn}
                                                   : std::vector<std::wstring>{});
        EXPECT_EQ(host.windowsOpened, 0);
    }
}

// The system starts <Windows>\ZanvekNotepad.exe in place of any notepad.exe, with the program
// token it was given in front of Notepad's command line.
TEST(RedirectCopy, GivesTheEditorWhatFollowsTheNotepadToken)
{
    const struct {
        std::wstring commandLine;
        std::optional<std::wstring> argument; // none: the registration window
    } rows[] = {
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" C:\\WINDOWS\\system32\\NOTEPAD.EXE C:\\my folder\\my "
         L"file.txt",
         L"C:\\my folder\\my file.txt"},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" \"C:\\Windows\\System32\\notepad.exe\" \"C:\\a "
         L"b.txt\"",
         L"\"C:\\a b.txt\""},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" notepad 'C:\\memo.txt'", L"C:\\memo.txt"},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" C:\\Windows\\SysWOW64\\notepad.exe /p x.txt",
         L"/p x.txt"},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" notepad.exe", std::nullopt},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" \"C:\\Windows\\notepad.exe\"   ", std::nullopt},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" C:\\x.txt", L"C:\\x.txt"},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\"", std::nullopt},
        // Windows starts Notepad for both; Notepad opens file.txt and a.txt.
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" \"notepad.exe\"file.txt", L"file.txt"},
        {L"\"C:\\Windows\\ZanvekNotepad.exe\" notepad.exe. a.txt", L"a.txt"},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.ownFileName = L"ZanvekNotepad.exe";
        host.commandLine = row.commandLine;
        Main(host);
        if (row.argument) {
            ASSERT_EQ(host.started.size(), 1u) << row.commandLine;
            EXPECT_EQ(host.started[0].second, L"\"C:\\Tools\\editor.exe\" " + *row.argument);
        } else {
            EXPECT_TRUE(host.started.empty()) << row.commandLine;
            // The launcher's window of the redirection offers the default-app page.
            EXPECT_EQ(host.windowSettings,
                      (std::vector<WindowSettings>{{InstallKind::Redirect, DropMode::Ole, true}}))
                << row.commandLine;
        }
    }
}

TEST(RedirectCopy, NeverStartsANotepadExeWhichTheSystemWouldSendBackToIt)
{
    const struct {
        std::wstring ownFileName, editorPath;
        bool starts;
    } rows[] = {
        {L"ZanvekNotepad.exe", L"C:\\Tools\\notepad.exe", false},
        {L"ZanvekNotepad.exe", L"C:\\WINDOWS\\System32\\NOTEPAD.EXE", false},
        {L"ZanvekNotepad.exe", L"C:\\Tools\\notepad.exe.", false}, // opened as notepad.exe
        {L"ZanvekNotepad.exe", L"C:\\Tools\\notepad2.exe", true},
        {L"ZanvekNotepad.exe", L"C:\\Tools\\notepad", true},
        // The installed notepad.exe is no redirect target: another notepad.exe is an editor.
        {L"notepad.exe", L"C:\\Tools\\notepad.exe", true},
        {L"NOTEPAD.EXE", L"C:\\Tools\\notepad.exe", true},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.ownFileName = row.ownFileName;
        host.editorPath = row.editorPath;
        Main(host);
        EXPECT_EQ(host.started.size(), row.starts ? 1u : 0u)
            << row.ownFileName << " " << row.editorPath;
        EXPECT_EQ(host.windowsOpened, row.starts ? 0 : 1) << row.editorPath;
        if (!row.starts) {
            EXPECT_EQ(host.probes, 0) << "the file was opened: " << row.editorPath;
        }
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
        host.setup.image = host.setup.files[row.path].bytes;
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
        bool desktopStartWorks, launcherWindowAppears;
        bool desktopStartTried, windowWaitedFor, windowInProcess;
        DropMode drop; // of the window set-up opens itself
    } rows[] = {
        {"run as administrator: the installed launcher opens it", ElevationType::Full, true, true,
         true, true, false, DropMode::Ole},
        // Elevated, the window takes Explorer's classic drop, which Windows lets through.
        {"the shell could not start it, or did not answer in time", ElevationType::Full, false,
         true, true, false, true, DropMode::Classic},
        {"the launcher's window did not come in time", ElevationType::Full, true, false, true, true,
         true, DropMode::Classic},
        {"not elevated, no split token", ElevationType::Default, true, true, false, false, true,
         DropMode::Ole},
        {"the unelevated half of a split token", ElevationType::Limited, true, true, false, false,
         true, DropMode::Ole},
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
            host.setup.image = kProgram;
            host.setup.answers = {true};
            host.redirection.notepadProtected = system.isProtected;
            host.elevation = row.elevation;
            host.desktopStartWorks = row.desktopStartWorks;
            host.launcherWindowAppears = row.launcherWindowAppears;

            EXPECT_EQ(Main(host), row.windowInProcess ? kWindowExitCode : 0);
            EXPECT_EQ(host.setup.files[L"C:\\WINDOWS\\notepad.exe"].bytes,
                      system.isProtected ? kSystemNotepad : kProgram);
            EXPECT_EQ(host.setup.files[system.launcher].bytes, kProgram);
            EXPECT_FALSE(host.setupLockedAtWindow);
            EXPECT_EQ(host.desktopStarts, row.desktopStartTried
                                              ? std::vector<std::wstring>{system.launcher}
                                              : std::vector<std::wstring>{});
            // Neither the shell nor its launcher may keep set-up waiting for ever.
            EXPECT_EQ(host.desktopStartLimits, row.desktopStartTried
                                                   ? std::vector<std::chrono::milliseconds>{10s}
                                                   : std::vector<std::chrono::milliseconds>{});
            // Only a launcher started after the request counts: the time read before it.
            using Waits = std::vector<FakeStartupHost::WindowWait>;
            const Waits waits = row.windowWaitedFor
                                    ? Waits{{system.launcher, host.clockAtDesktopStart, 10s}}
                                    : Waits{};
            EXPECT_EQ(host.windowWaits, waits);
            // Set-up's own window never offers the default-app page: set-up may run with another
            // administrator's credentials.
            using Windows = std::vector<WindowSettings>;
            const Windows windows =
                row.windowInProcess ? Windows{{system.kind, row.drop, false}} : Windows{};
            EXPECT_EQ(host.windowSettings, windows);
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

TEST(Setup, BuildsItsPathsFromTheWindowsFolderAsTheSystemReportsIt)
{
    FakeStartupHost host;
    host.ownFolder = L"C:\\Users\\me\\Downloads";
    host.windowsFolder = L"C:\\WINDOWS";
    host.canonicalFolders[L"C:\\WINDOWS"] = L"C:\\Windows";
    host.setup.files[L"C:\\WINDOWS\\notepad.exe"] = {"MZ system notepad"};
    host.setup.answers = {true};
    EXPECT_EQ(Main(host), kWindowExitCode);
    EXPECT_EQ(host.setup.files[L"C:\\WINDOWS\\notepad.exe"].bytes, host.setup.image);
    EXPECT_EQ(host.setup.files[L"C:\\WINDOWS\\notepad.met"].bytes, "MZ system notepad");
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

// The own folder is the file system's spelling; the system may spell the Windows folder as its
// settings do (C:\WINDOWS after an upgrade) or by its short name.
TEST(Role, TheWindowsFolderAsTheFileSystemSpellsItMakesTheLauncher)
{
    const struct {
        const char* why;
        std::wstring ownFolder, windowsFolder;
        std::optional<std::wstring> canonical; // of windowsFolder; none: spelled as given
        Role role;
        int lookups;
    } rows[] = {
        {"the same text: no lookup", L"C:\\Windows", L"C:\\Windows", std::nullopt, Role::Launcher,
         0},
        {"reported in capitals", L"C:\\Windows", L"C:\\WINDOWS", L"C:\\Windows", Role::Launcher, 1},
        {"in capitals on disk", L"C:\\WINDOWS", L"C:\\Windows", L"C:\\WINDOWS", Role::Launcher, 1},
        {"reported by its short name", L"C:\\Windows", L"C:\\WINDOW~1", L"C:\\Windows",
         Role::Launcher, 1},
        {"another folder", L"C:\\Users\\me\\Downloads", L"C:\\WINDOWS", L"C:\\Windows", Role::Setup,
         1},
        {"a folder inside it", L"C:\\Windows\\System32", L"C:\\WINDOWS", L"C:\\Windows",
         Role::Setup, 1},
        {"the Windows folder cannot be opened", L"C:\\Windows", L"C:\\WINDOWS", L"", Role::Setup,
         1},
    };
    for (const auto& row : rows) {
        FakeStartupHost host;
        host.ownFolder = row.ownFolder;
        host.windowsFolder = row.windowsFolder;
        if (row.canonical) host.canonicalFolders[row.windowsFolder] = *row.canonical;
        host.setup.answers = {false};
        Main(host);
        const Role role = host.setup.prompts.empty() ? Role::Launcher : Role::Setup;
        EXPECT_EQ(role, row.role) << row.why;
        EXPECT_EQ(host.started.size(), row.role == Role::Launcher ? 1u : 0u) << row.why;
        EXPECT_EQ(host.canonicalLookups, row.lookups) << row.why;
    }
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
