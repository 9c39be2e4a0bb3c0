// The redirection's registry side against the real (Wine) registry, in the 64-bit view of
// HKEY_LOCAL_MACHINE, and the protection query in an ordinary and a protected prefix.
#include "setup/redirection_win32.h"

#include "common/app_error.h"
#include "setup/notepad_option_trees.h"
#include "setup/setup_host_win32.h"

#include "wine/built_program.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zn {
namespace {

using namespace trees;

const std::wstring kParent =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kSaved = L"Software\\ZanvekNotepadTests\\SavedNotepadOptions";

HKEY CreateKey(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS)
        << testing::PrintToString(path);
    return key;
}

void SetValues(HKEY key, const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values)
        EXPECT_EQ(::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.bytes.data(),
                                   static_cast<DWORD>(value.bytes.size())),
                  ERROR_SUCCESS);
}

void DeleteNotepadOptions()
{
    HKEY parent = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParent.c_str(), 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, &parent),
              ERROR_SUCCESS);
    const LSTATUS status = ::RegDeleteTreeW(parent, L"notepad.exe");
    EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    ::RegCloseKey(parent);
}

// The registry lists subkeys in name order and values in an order of its own; the model keeps
// that order, so trees are compared in one order.
NotepadOptions Sorted(NotepadOptions options)
{
    const auto byName = [](const auto& a, const auto& b) { return a.name < b.name; };
    std::sort(options.values.begin(), options.values.end(), byName);
    std::sort(options.subkeys.begin(), options.subkeys.end(), byName);
    for (RegistrySubkey& subkey : options.subkeys)
        std::sort(subkey.values.begin(), subkey.values.end(), byName);
    return options;
}

std::wstring WindowsFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

// Whatever the prefix had at the notepad.exe key is kept aside and put back afterwards.
class NotepadOptionsKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSaved.c_str());
        HKEY original = nullptr;
        m_hadKey = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kParent + L"\\notepad.exe").c_str(), 0,
                                   KEY_READ | KEY_WOW64_64KEY, &original) == ERROR_SUCCESS;
        if (m_hadKey) {
            const HKEY saved = CreateKey(HKEY_CURRENT_USER, kSaved, 0);
            EXPECT_EQ(::RegCopyTreeW(original, nullptr, saved), ERROR_SUCCESS);
            ::RegCloseKey(saved);
            ::RegCloseKey(original);
        }
    }
    void TearDown() override
    {
        DeleteNotepadOptions();
        if (m_hadKey) {
            HKEY saved = nullptr;
            ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kSaved.c_str(), 0, KEY_READ, &saved),
                      ERROR_SUCCESS);
            const HKEY key =
                CreateKey(HKEY_LOCAL_MACHINE, kParent + L"\\notepad.exe", KEY_WOW64_64KEY);
            EXPECT_EQ(::RegCopyTreeW(saved, nullptr, key), ERROR_SUCCESS);
            ::RegCloseKey(key);
            ::RegCloseKey(saved);
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kSaved.c_str());
        }
    }

    // Replaces the key with `tree`, written with the system's functions, not the program's.
    static void Write(const NotepadOptions& tree)
    {
        DeleteNotepadOptions();
        if (!tree.exists) return;
        const std::wstring path = kParent + L"\\notepad.exe";
        const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY);
        SetValues(key, tree.values);
        ::RegCloseKey(key);
        for (const RegistrySubkey& subkey : tree.subkeys) {
            const HKEY sub =
                CreateKey(HKEY_LOCAL_MACHINE, path + L"\\" + subkey.name, KEY_WOW64_64KEY);
            SetValues(sub, subkey.values);
            ::RegCloseKey(sub);
        }
    }

    Win32RedirectHost m_host;
    bool m_hadKey = false;
};

TEST_F(NotepadOptionsKey, EachTreeReadsBackTakesTheInstallAndIsRestoredByRemoval)
{
    for (const Accepted& row : AcceptedTrees()) {
        SCOPED_TRACE(row.why);
        Write(row.start);
        const NotepadOptions start = m_host.ReadNotepadOptions();
        ASSERT_EQ(Sorted(start), Sorted(row.start));

        const RedirectInstallPlan plan = PlanRedirectInstall(start, kCommand);
        ASSERT_FALSE(plan.refusal);
        m_host.ApplyChanges(plan.changes);
        NotepadOptions expected = start;
        ApplyToModel(expected, plan.changes);
        const NotepadOptions installed = m_host.ReadNotepadOptions();
        EXPECT_EQ(Sorted(installed), Sorted(expected));

        m_host.ApplyChanges(PlanRedirectRemoval(installed, kCommand));
        EXPECT_EQ(Sorted(m_host.ReadNotepadOptions()), Sorted(row.start));
    }
}

TEST_F(NotepadOptionsKey, TreesWithAnotherProgramsDebuggerReadBackExactly)
{
    // What refusal reports is decided on the tree as read: it must be the tree as written.
    for (const Refused& row : RefusedTrees()) {
        SCOPED_TRACE(row.why);
        Write(row.start);
        const NotepadOptions start = m_host.ReadNotepadOptions();
        EXPECT_EQ(Sorted(start), Sorted(row.start));
        EXPECT_EQ(PlanRedirectInstall(start, kCommand).refusal, row.found);
    }
}

TEST_F(NotepadOptionsKey, LongNamesAndLargeValuesAreReadWhole)
{
    const NotepadOptions tree{true,
                              {Sz(std::wstring(300, L'n'), std::wstring(5000, L'x')),
                               Binary(L"", std::vector<std::uint8_t>(70000, 0xAB))},
                              {{std::wstring(255, L's'), {Sz(L"FilterFullPath", L"notepad.exe")}}}};
    Write(tree);
    EXPECT_EQ(Sorted(m_host.ReadNotepadOptions()), Sorted(tree));
}

TEST_F(NotepadOptionsKey, RemovalKeepsAKeyThatGainedAValueAfterThePlanWasMade)
{
    Write({true, {Sz(L"Debugger", kCommand)}, {}});
    const std::vector<RegistryChange> removal =
        PlanRedirectRemoval(m_host.ReadNotepadOptions(), kCommand);
    ASSERT_EQ(removal.back().kind, RegistryChange::Kind::DeleteKey);
    const HKEY key = CreateKey(HKEY_LOCAL_MACHINE, kParent + L"\\notepad.exe", KEY_WOW64_64KEY);
    SetValues(key, {Dword(L"GlobalFlag", 2)});
    ::RegCloseKey(key);

    // The model carries the plan out as the registry does: the key stays.
    NotepadOptions expected = m_host.ReadNotepadOptions();
    ApplyToModel(expected, removal);
    m_host.ApplyChanges(removal);
    EXPECT_EQ(m_host.ReadNotepadOptions(), expected);
    EXPECT_EQ(expected, (NotepadOptions{true, {Dword(L"GlobalFlag", 2)}, {}}));
}

TEST_F(NotepadOptionsKey, AFailedChangeNamesTheKeyAndTheValue)
{
    Write(Windows10());
    try {
        m_host.ApplyChanges({{RegistryChange::Kind::SetValue, L"gone", Sz(L"Debugger", kCommand)}});
        ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(error.path, L"HKEY_LOCAL_MACHINE\\" + kParent + L"\\notepad.exe\\gone");
        EXPECT_NE(error.what.find(L"Debugger"), std::wstring::npos);
    }
    EXPECT_EQ(Sorted(m_host.ReadNotepadOptions()), Sorted(Windows10()));
}

// Install and removal with the system's own files and registry, this test's build of the
// program as the one that installs.
class RedirectProcedures : public NotepadOptionsKey {
protected:
    void TearDown() override
    {
        ::DeleteFileW(m_paths.copy.c_str());
        NotepadOptionsKey::TearDown();
    }

    std::wstring DebuggerAsStored() const
    {
        wchar_t text[MAX_PATH] = {};
        DWORD size = sizeof(text);
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, (kParent + L"\\notepad.exe").c_str(), L"Debugger",
                           RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, text,
                           &size) != ERROR_SUCCESS)
            return L"<none>";
        return text;
    }

    Win32SetupHost m_files;
    const RedirectPaths m_paths = MakeRedirectPaths(WindowsFolder(), BuiltProgramPath());
};

TEST_F(RedirectProcedures, InstallThenRemovalLeaveTheWindowsFolderAndTheKeyAsTheyWere)
{
    Write(Windows11());
    ASSERT_FALSE(m_files.IsFile(m_paths.copy));
    InstallRedirect(m_files, m_host, m_paths);
    EXPECT_EQ(m_files.Inspect(m_paths.copy), FileKind::ThisProgram);
    EXPECT_EQ(DebuggerAsStored(), L"\"" + WindowsFolder() + L"\\ZanvekNotepad.exe\"");
    EXPECT_TRUE(RedirectInstalled(m_files, m_host, m_paths));

    RemoveRedirect(m_files, m_host, m_paths);
    EXPECT_FALSE(m_files.IsFile(m_paths.copy));
    EXPECT_EQ(Sorted(m_host.ReadNotepadOptions()), Sorted(Windows11()));
    EXPECT_FALSE(RedirectInstalled(m_files, m_host, m_paths));
}

TEST_F(RedirectProcedures, ACopyThatIsRunningIsReportedAsInUseAfterTheRedirectionIsGone)
{
    Write({});
    InstallRedirect(m_files, m_host, m_paths);
    // Run from the Windows folder without a command line, the copy opens its window and waits,
    // as a launcher waiting for its editor holds its file.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + m_paths.copy + L"\"";
    ASSERT_TRUE(::CreateProcessW(m_paths.copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                 0, nullptr, nullptr, &startup, &process));
    ::CloseHandle(process.hThread);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));

    try {
        RemoveRedirect(m_files, m_host, m_paths);
        ADD_FAILURE() << "a running copy was deleted";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(error.path, m_paths.copy);
        EXPECT_EQ(error.advice.rfind(L"起動中の ZanvekNotepad.exe", 0), 0u);
        EXPECT_EQ(error.advice.find(L"管理者"), std::wstring::npos);
    }
    EXPECT_FALSE(m_host.ReadNotepadOptions().exists);
    EXPECT_TRUE(RedirectInstalled(m_files, m_host, m_paths)); // the next run offers removal

    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 5000);
    ::CloseHandle(process.hProcess);
    RemoveRedirect(m_files, m_host, m_paths);
    EXPECT_FALSE(m_files.IsFile(m_paths.copy));
}

TEST(Protection, WineGuardsNoFileSoTheCopyInstallStays)
{
    EXPECT_FALSE(IsProtectedSystemFile(WindowsFolder() + L"\\notepad.exe"));
    EXPECT_FALSE(IsProtectedSystemFile(WindowsFolder() + L"\\system32\\kernel32.dll"));
}

// Run only in a prefix whose system32\sfc.dll is the tests' stand-in (ZN_STAND_IN_SFC).
TEST(ProtectedPrefix, TheWindowsFoldersNotepadIsProtectedAndNothingElse)
{
    std::wstring upper = WindowsFolder() + L"\\NotePad.EXE";
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    const struct {
        std::wstring path;
        bool isProtected;
    } rows[] = {
        {WindowsFolder() + L"\\notepad.exe", true},
        {upper, true},
        {WindowsFolder() + L"\\system32\\notepad.exe", false},
        {WindowsFolder() + L"\\regedit.exe", false},
        {WindowsFolder() + L"\\ZanvekNotepad.exe", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsProtectedSystemFile(row.path), row.isProtected)
            << testing::PrintToString(row.path);
}

} // namespace
} // namespace zn
