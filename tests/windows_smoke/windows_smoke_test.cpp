// The program on a real Windows system, once, from end to end: set-up run from a download
// folder installs it (over the Windows folder's notepad.exe, or through the redirect where the
// system protects that file), a stand-in editor is registered, Notepad started with a file as a
// program would start it and as the shell's classic verbs start it reaches that editor, and the
// removal leaves the system as it was: the Notepad files by checksum, the redirect's registry key
// value by value.
//
// It changes the Windows folder and HKLM, so it refuses to run (and is skipped) unless
//   - on Windows: CI is "true" and ZN_WINDOWS_SMOKE is "change-this-runner", which only the
//     workflow sets, for a runner that is thrown away afterwards; or
//   - under Wine: ZN_SMOKE_REHEARSAL is "1" in a throwaway prefix of the test run
//     (ZN_FRESH_PREFIX), where the test itself is tried out.
#include "common/under_wine.h"
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <thread>

namespace zn::e2e {
namespace {

constexpr wchar_t kOptIn[] = L"change-this-runner";

struct Conditions {
    std::wstring ci, optIn, rehearsal, freshPrefix;
    bool underWine = false;
};

// Why this run must leave the system alone; empty when it may change it.
std::wstring Refusal(const Conditions& c)
{
    if (c.underWine) {
        if (c.rehearsal == L"1" && !c.freshPrefix.empty()) return {};
        return L"under Wine it runs only as a rehearsal in a throwaway prefix";
    }
    if (c.ci != L"true") return L"not a CI run (CI is not \"true\")";
    if (c.optIn != kOptIn) return L"ZN_WINDOWS_SMOKE is not \"change-this-runner\"";
    return {};
}

std::wstring Env(const wchar_t* name)
{
    std::wstring value(32768, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

Conditions ThisRun()
{
    return {Env(L"CI"), Env(L"ZN_WINDOWS_SMOKE"), Env(L"ZN_SMOKE_REHEARSAL"),
            Env(L"ZN_FRESH_PREFIX"), RunningUnderWine()};
}

TEST(SmokeGuard, ChangesTheSystemOnlyOnAnOptedInCiRunnerOrInAThrowawayWinePrefix)
{
    const struct {
        const char* why;
        Conditions conditions;
        bool allowed;
    } rows[] = {
        {"the workflow's runner", {L"true", kOptIn, L"", L"", false}, true},
        {"CI without the opt-in", {L"true", L"", L"", L"", false}, false},
        {"an opt-in that is not the exact word", {L"true", L"1", L"", L"", false}, false},
        {"a developer's machine with the opt-in", {L"", kOptIn, L"", L"", false}, false},
        {"CI spelled otherwise", {L"1", kOptIn, L"", L"", false}, false},
        {"the rehearsal's variables on Windows", {L"", L"", L"1", L"smoke", false}, false},
        {"the workflow's variables under Wine", {L"true", kOptIn, L"", L"", true}, false},
        {"a rehearsal in a throwaway prefix", {L"", L"", L"1", L"smoke", true}, true},
        {"a rehearsal in the shared prefix", {L"", L"", L"1", L"", true}, false},
        {"a throwaway prefix without the rehearsal", {L"", L"", L"", L"smoke", true}, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Refusal(row.conditions).empty(), row.allowed) << row.why;
}

const std::wstring kInstallTitle = L"ZanvekNOTEPAD";
const std::wstring kInstallText = L"ZanvekNOTEPAD をインストールしますか？";
const std::wstring kRemoveTitle = L"Uninstall";
const std::wstring kRemoveText = L"ZanvekNotePadをUninstallしますか？";
const std::wstring kIfeoKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                              L"Image File Execution Options\\notepad.exe";
constexpr auto kPatience = std::chrono::seconds(30); // a real system's first starts are slow

std::wstring Folder(UINT(WINAPI* query)(LPWSTR, UINT))
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = query(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

std::wstring BackslashPath(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring WithNotepad(const std::wstring& folder)
{
    return folder.empty() ? folder : folder + L"\\notepad.exe";
}

struct SystemPaths {
    std::wstring windows = Folder(::GetWindowsDirectoryW);
    std::wstring notepad = windows + L"\\notepad.exe";
    std::wstring backup = windows + L"\\notepad.met";
    std::wstring staged = windows + L"\\notepad.ex_";
    std::wstring redirectCopy = windows + L"\\ZanvekNotepad.exe";
    std::wstring systemNotepad = Folder(::GetSystemDirectoryW) + L"\\notepad.exe";
    std::wstring wow64Notepad = WithNotepad(Folder(::GetSystemWow64DirectoryW)); // 64-bit systems
};

// The keys of the default-app registration that the redirect install writes (each with what
// lies below it); a real Windows' SOFTWARE\Classes is too large to read whole.
const wchar_t* const kRegistrationKeys[] = {
    L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile",
    L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe",
    L"SOFTWARE\\Classes\\.txt\\OpenWithProgids",
    L"SOFTWARE\\Classes\\.log\\OpenWithProgids",
    L"SOFTWARE\\Classes\\.ini\\OpenWithProgids",
    L"SOFTWARE\\Classes\\.inf\\OpenWithProgids",
    L"SOFTWARE\\Kestrane",
    L"SOFTWARE\\RegisteredApplications",
};

// What set-up may change: the Notepad files by checksum, the redirect's registry tree and the
// default-app registration's keys.
struct SystemState {
    std::map<std::wstring, std::string> files;
    RegistryDump ifeo;
    std::map<std::wstring, RegistryDump> registration;
};

SystemState Capture(const SystemPaths& paths)
{
    SystemState state;
    for (const std::wstring* file :
         {&paths.notepad, &paths.backup, &paths.staged, &paths.redirectCopy, &paths.systemNotepad,
          &paths.wow64Notepad}) {
        if (!file->empty()) state.files[*file] = Checksum(ReadBytes(*file));
    }
    state.ifeo = DumpRegistryTree(HKEY_LOCAL_MACHINE, kIfeoKey);
    for (const wchar_t* key : kRegistrationKeys)
        state.registration[key] = DumpRegistryTree(HKEY_LOCAL_MACHINE, key);
    return state;
}

bool IsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    ::CheckTokenMembership(nullptr, administrators, &member);
    ::FreeSid(administrators);
    return member != FALSE;
}

// Whether Windows Resource Protection guards the file: then set-up takes the redirect.
bool IsProtected(const std::wstring& file)
{
    const HMODULE sfc = ::LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (sfc == nullptr) return false;
    using Query = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(sfc, "SfcIsFileProtected")));
    const bool isProtected = query != nullptr && query(nullptr, file.c_str()) != FALSE;
    ::FreeLibrary(sfc);
    return isProtected;
}

// The REG_SZ value `name` of HKLM\<key> (64-bit view); nullopt when there is none.
std::optional<std::wstring> MachineText(const std::wstring& key, const wchar_t* name)
{
    wchar_t buffer[2048] = {};
    DWORD size = sizeof(buffer);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                       nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

// The places the redirect must hold our Debugger: the notepad.exe key itself, and when its
// UseFilter is on, each subkey whose FilterFullPath names a notepad.exe.
std::vector<std::wstring> RedirectPlaces()
{
    std::vector<std::wstring> places{kIfeoKey};
    DWORD useFilter = 0;
    DWORD size = sizeof(useFilter);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kIfeoKey.c_str(), L"UseFilter",
                       RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &useFilter,
                       &size) != ERROR_SUCCESS ||
        useFilter == 0)
        return places;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kIfeoKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                        &key) != ERROR_SUCCESS)
        return places;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::wstring subkey = kIfeoKey + L"\\" + name;
        std::wstring filter = MachineText(subkey, L"FilterFullPath").value_or(L"");
        for (wchar_t& c : filter)
            c = static_cast<wchar_t>(std::towlower(c));
        const std::wstring tail = L"\\notepad.exe";
        if (filter.size() >= tail.size() &&
            filter.compare(filter.size() - tail.size(), tail.size(), tail) == 0)
            places.push_back(subkey);
    }
    ::RegCloseKey(key);
    return places;
}

const std::wstring kReportTitle = L"ZanvekNotePad"; // the error report's

// Fails the test with set-up's error report when it shows one.
void AssertNoErrorReport(const Process& setup)
{
    if (const HWND report = WaitForMessageBox(setup.Id(), kReportTitle, 0ms)) {
        FAIL() << "set-up reported: " << MessageBoxText(report);
    }
}

// Waits for set-up's prompt and answers it; an error report in its place fails the test with
// what it says.
void AnswerPrompt(const Process& setup, const std::wstring& title, const std::wstring& text,
                  int answer)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < deadline) {
        ASSERT_NO_FATAL_FAILURE(AssertNoErrorReport(setup));
        box = WaitForMessageBox(setup.Id(), title, 200ms);
    }
    ASSERT_NE(box, nullptr) << "no message box titled " << title;
    EXPECT_EQ(MessageBoxText(box), text);
    Answer(box, answer);
    for (int i = 0; i < 250 && ::IsWindow(box); ++i)
        std::this_thread::sleep_for(20ms);
}

// After an accepted install the registration window opens: in set-up's own process, or in a
// launcher that set-up started through the desktop shell. Closes it and waits for both to end.
void CloseTheRegistrationWindow(Process& setup)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    HWND window = nullptr;
    while (window == nullptr && std::chrono::steady_clock::now() < deadline) {
        ASSERT_NO_FATAL_FAILURE(AssertNoErrorReport(setup));
        window = WaitForWindow(0, kRegistrationClass, kRegistrationCaption, 200ms);
    }
    ASSERT_NE(window, nullptr) << "the registration window did not open";
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    Process launcher = pid == setup.Id() ? Process() : OpenRunningProcess(pid);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(setup.Wait(kPatience), 0);
    if (launcher.Id() != 0) {
        EXPECT_EQ(launcher.Wait(kPatience), 0);
    }
}

class WindowsSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring refusal = Refusal(ThisRun());
        if (!refusal.empty()) {
            GTEST_SKIP() << "refused: " << refusal;
        }
        ASSERT_TRUE(IsAdministrator()) << "set-up writes to the Windows folder: run elevated";
        ASSERT_FALSE(m_paths.windows.empty());
        m_work = m_paths.windows.substr(0, 3) + L"zn-smoke";
        m_setup = m_work + L"\\Downloads\\ZanvekNotepad.exe";
        m_editor = m_work + L"\\Stand In\\editor.exe";
        // Blanks in the folder and in the name, as in every new text file Explorer makes.
        m_document = m_work + L"\\My Notes\\New Text Document.txt";
        MakeFolders(m_work + L"\\Downloads");
        MakeFolders(m_work + L"\\Stand In");
        MakeFolders(m_work + L"\\My Notes");
        CopyOver(BackslashPath(ProgramPath()), m_setup);
        CopyOver(BackslashPath(StandInEditorPath()), m_editor);
        WriteBytes(m_document, "smoke test\r\n");
        m_settingBefore = EditorSetting();
    }

    void TearDown() override
    {
        if (m_work.empty()) return;
        if (m_settingBefore == L"<none>")
            ClearEditorSetting();
        else
            SetEditorSetting(m_settingBefore);
        for (const std::wstring& file : {m_setup, m_editor, m_document, Record()})
            ::DeleteFileW(file.c_str());
        for (const wchar_t* folder : {L"\\Downloads", L"\\Stand In", L"\\My Notes", L""})
            ::RemoveDirectoryW((m_work + folder).c_str()); // only when left empty
    }

    Process RunSetup() { return Start(m_setup, L"\"" + m_setup + L"\"", m_work + L"\\Downloads"); }
    std::wstring Record() const { return m_work + L"\\record.txt"; }

    SystemPaths m_paths;
    std::wstring m_work, m_setup, m_editor, m_document, m_settingBefore;
};

TEST_F(WindowsSmoke, InstallsLaunchesAndRemovesLeavingTheSystemAsItWas)
{
    const SystemState before = Capture(m_paths);
    const std::string program = Checksum(ReadBytes(m_setup));
    ASSERT_NE(before.files.at(m_paths.notepad), kMissing) << "no " << m_paths.notepad;
    ASSERT_EQ(before.files.at(m_paths.backup), kMissing) << "installed already";
    ASSERT_EQ(before.files.at(m_paths.redirectCopy), kMissing) << "installed already";
    const bool redirect = IsProtected(m_paths.notepad);

    {
        Process setup = RunSetup();
        ASSERT_NO_FATAL_FAILURE(AnswerPrompt(setup, kInstallTitle, kInstallText, IDYES));
        ASSERT_NO_FATAL_FAILURE(CloseTheRegistrationWindow(setup));
    }
    const SystemState installed = Capture(m_paths);
    std::vector<std::wstring> starts{m_paths.notepad};
    if (redirect) {
        // The system's notepad.exe stays; every start of a notepad.exe goes to the launcher.
        EXPECT_EQ(installed.files.at(m_paths.notepad), before.files.at(m_paths.notepad));
        EXPECT_EQ(installed.files.at(m_paths.backup), kMissing);
        EXPECT_EQ(installed.files.at(m_paths.redirectCopy), program);
        for (const std::wstring& place : RedirectPlaces())
            EXPECT_EQ(MachineText(place, L"Debugger"), L"\"" + m_paths.redirectCopy + L"\"")
                << place;
        EXPECT_EQ(MachineText(L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile\\shell\\open\\command",
                              nullptr),
                  L"\"" + m_paths.redirectCopy + L"\" notepad.exe \"%1\"");
        EXPECT_EQ(MachineText(L"SOFTWARE\\RegisteredApplications", L"ZanvekNotepad"),
                  L"SOFTWARE\\Kestrane\\ZanvekNOTEPAD\\Capabilities");
        starts.push_back(m_paths.systemNotepad);
    } else {
        EXPECT_EQ(installed.files.at(m_paths.notepad), program);
        EXPECT_EQ(installed.files.at(m_paths.backup), before.files.at(m_paths.notepad));
        EXPECT_EQ(installed.ifeo, before.ifeo);
        EXPECT_EQ(installed.registration, before.registration); // the copy registers nothing
    }

    SetEditorSetting(m_editor);
    SetEnv(L"ZN_EDITOR_RECORD", Record());
    SetEnv(L"ZN_EDITOR_EXIT_CODE", L"0");
    // A program quotes the document; the shell's classic verbs (`NOTEPAD.EXE %1`) do not, and
    // Notepad takes the whole rest of its command line as one file name.
    const struct {
        const char* how;
        std::wstring (*command)(const std::wstring& notepad, const std::wstring& document);
    } forms[] = {
        {"quoted, as a program starts it",
         [](const std::wstring& notepad, const std::wstring& document) {
             return L"\"" + notepad + L"\" \"" + document + L"\"";
         }},
        {"unquoted, as the shell starts it",
         [](const std::wstring& notepad, const std::wstring& document) {
             return notepad + L" " + document;
         }},
    };
    for (const std::wstring& notepad : starts) {
        for (const auto& form : forms) {
            ::DeleteFileW(Record().c_str());
            std::wstring command = form.command(notepad, m_document);
            // Windows starts the Debugger in place of any notepad.exe, with the command line
            // after it; Wine does not, so a rehearsal plays that part.
            if (redirect && RunningUnderWine())
                command = MachineText(kIfeoKey, L"Debugger").value_or(L"") + L" " + command;
            Process launcher = StartCommandLine(command);
            EXPECT_EQ(launcher.Wait(kPatience), 0) << notepad << ", " << form.how;
            const EditorRecord record = ReadEditorRecord(Record());
            EXPECT_TRUE(record.present)
                << notepad << ", " << form.how << ": the stand-in editor did not start";
            EXPECT_EQ(record.argv, (std::vector<std::wstring>{m_editor, m_document}))
                << notepad << ", " << form.how;
        }
    }

    {
        Process setup = RunSetup();
        ASSERT_NO_FATAL_FAILURE(AnswerPrompt(setup, kRemoveTitle, kRemoveText, IDYES));
        ASSERT_NO_FATAL_FAILURE(AnswerPrompt(setup, kInstallTitle, kInstallText, IDNO));
        EXPECT_EQ(setup.Wait(kPatience), 0);
    }
    const SystemState after = Capture(m_paths);
    EXPECT_EQ(after.files, before.files);
    EXPECT_EQ(after.ifeo, before.ifeo);
    EXPECT_EQ(after.registration, before.registration);
}

} // namespace
} // namespace zn::e2e
