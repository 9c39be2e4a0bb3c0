// The redirection's registry side against the real (Wine or Windows) registry, on a scratch tree
// of the user's own, and the protection query in an ordinary and a protected prefix.
#include "setup/redirection_win32.h"

#include "common/app_error.h"
#include "setup/notepad_option_trees.h"
#include "setup/setup_host_win32.h"

#include "wine/built_program.h"
#include "wine/file_bytes.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zn {
namespace {

using namespace trees;

// The machine's registry stood in for by a scratch tree of the user's own: the code under test
// takes its root from the caller, so no test changes the machine's.
const std::wstring kScratch = L"Software\\ZanvekNotepadTests\\Machine";
const std::wstring kShownScratch = L"HKEY_CURRENT_USER\\" + kScratch;
const std::wstring kOptions = kScratch + L"\\" + std::wstring(kNotepadOptionsKey);

HKEY CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
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

std::wstring TempFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + name;
}

// The scratch tree, made afresh for each test: the levels above the notepad.exe key, and the
// text types with the classic Notepad's ProgIDs, as a Windows without the packaged Notepad has.
class NotepadOptionsKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str());
        ::RegCloseKey(CreateKey(kOptions.substr(0, kOptions.rfind(L'\\'))));
        for (const wchar_t* type : {L".txt", L".log", L".ini", L".inf"}) {
            const HKEY key = CreateKey(kScratch + L"\\SOFTWARE\\Classes\\" + type);
            SetValues(key, {Sz(L"", L"txtfile")});
            ::RegCloseKey(key);
        }
    }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }

    // Replaces the key with `tree`, written with the system's functions, not the program's.
    static void Write(const NotepadOptions& tree)
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kOptions.c_str());
        if (!tree.exists) return;
        const HKEY key = CreateKey(kOptions);
        SetValues(key, tree.values);
        ::RegCloseKey(key);
        for (const RegistrySubkey& subkey : tree.subkeys) {
            const HKEY sub = CreateKey(kOptions + L"\\" + subkey.name);
            SetValues(sub, subkey.values);
            ::RegCloseKey(sub);
        }
    }

    NotepadOptions Read() { return ReadNotepadOptions(m_host); }
    void Apply(const std::vector<RegistryChange>& changes) { ApplyAllOrNothing(m_host, changes); }

    Win32RedirectHost m_host{Win32RegistryStore(HKEY_CURRENT_USER, kScratch, kShownScratch)};
};

TEST_F(NotepadOptionsKey, EachTreeReadsBackTakesTheInstallAndIsRestoredByRemoval)
{
    for (const Accepted& row : AcceptedTrees()) {
        SCOPED_TRACE(row.why);
        Write(row.start);
        const NotepadOptions start = Read();
        ASSERT_EQ(Sorted(start), Sorted(row.start));

        const RedirectInstallPlan plan = PlanRedirectInstall(start, kCommand);
        ASSERT_FALSE(plan.refusal);
        Apply(plan.changes);
        NotepadOptions expected = start;
        ApplyToModel(expected, plan.changes);
        const NotepadOptions installed = Read();
        EXPECT_EQ(Sorted(installed), Sorted(expected));

        Apply(PlanRedirectRemoval(installed, kCommand));
        EXPECT_EQ(Sorted(Read()), Sorted(row.start));
    }
}

TEST_F(NotepadOptionsKey, TreesWithAnotherProgramsDebuggerReadBackExactly)
{
    // What refusal reports is decided on the tree as read: it must be the tree as written.
    for (const Refused& row : RefusedTrees()) {
        SCOPED_TRACE(row.why);
        Write(row.start);
        const NotepadOptions start = Read();
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
    EXPECT_EQ(Sorted(Read()), Sorted(tree));
}

TEST_F(NotepadOptionsKey, RemovalKeepsAKeyThatGainedAValueAfterThePlanWasMade)
{
    Write({true, {Sz(L"Debugger", kCommand)}, {}});
    const std::vector<RegistryChange> removal = PlanRedirectRemoval(Read(), kCommand);
    ASSERT_EQ(removal.back().kind, RegistryChange::Kind::DeleteKey);
    const HKEY key = CreateKey(kOptions);
    SetValues(key, {Dword(L"GlobalFlag", 2)});
    ::RegCloseKey(key);

    // The model carries the plan out as the registry does: the key stays.
    NotepadOptions expected = Read();
    ApplyToModel(expected, removal);
    Apply(removal);
    EXPECT_EQ(Read(), expected);
    EXPECT_EQ(expected, (NotepadOptions{true, {Dword(L"GlobalFlag", 2)}, {}}));
}

TEST_F(NotepadOptionsKey, AFailedChangeIsUndoneAndNamesTheKeyAndTheValue)
{
    Write(Windows10());
    const std::wstring gone = NotepadOptionsKeyOf(L"gone");
    try {
        Apply(
            {{RegistryChange::Kind::SetValue, NotepadOptionsKeyOf(L""), Sz(L"Debugger", kCommand)},
             {RegistryChange::Kind::SetValue, gone, Sz(L"Debugger", kCommand)}});
        ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(error.path, kShownScratch + L"\\" + gone);
        EXPECT_NE(error.what.find(L"Debugger"), std::wstring::npos);
    }
    EXPECT_EQ(Sorted(Read()), Sorted(Windows10())) << "the first write is undone";
}

TEST_F(NotepadOptionsKey, APlaceThatCannotBeWrittenIsFoundBeforeAnyChange)
{
    Write(Windows11());
    // A filter subkey whose permissions let everyone read it but nobody set a value, as
    // Windows may ship one.
    const std::wstring locked = kOptions + L"\\1";
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;;KR;;;WD)(A;;SDRCWD;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, locked.c_str(), 0, WRITE_DAC, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    ::RegCloseKey(key);
    ::LocalFree(readOnly);

    const RedirectInstallPlan plan = PlanRedirectInstall(Read(), kCommand);
    const AppError error = [&] {
        try {
            m_host.CheckWritable(plan.changes);
        } catch (const AppError& raised) {
            return raised;
        }
        return AppError(0, L"no error");
    }();
    // Wine enforces key permissions only in part: where it lets the write through, the check
    // has nothing to find.
    if (error.code != 0) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(error.path, kShownScratch + L"\\" + NotepadOptionsKeyOf(L"1"));
    }
    EXPECT_EQ(Sorted(Read()), Sorted(Windows11()));
}

// Install and removal with the system's own files and registry, on a scratch folder standing in
// for the Windows folder; what is installed is the running image, this test program.
class RedirectProcedures : public NotepadOptionsKey {
protected:
    void SetUp() override
    {
        NotepadOptionsKey::SetUp();
        ::CreateDirectoryW(m_paths.folder.c_str(), nullptr);
        ::DeleteFileW(m_paths.copy.c_str());
        m_files.HoldRunningImage();
    }
    void TearDown() override
    {
        ::DeleteFileW(m_paths.copy.c_str());
        NotepadOptionsKey::TearDown();
    }

    std::wstring DebuggerAsStored() const
    {
        wchar_t text[MAX_PATH] = {};
        DWORD size = sizeof(text);
        if (::RegGetValueW(HKEY_CURRENT_USER, kOptions.c_str(), L"Debugger", RRF_RT_REG_SZ, nullptr,
                           text, &size) != ERROR_SUCCESS)
            return L"<none>";
        return text;
    }

    // Every key and value of the scratch tree.
    static std::vector<std::wstring> Dump(HKEY key = HKEY_CURRENT_USER,
                                          const std::wstring& path = kScratch)
    {
        std::vector<std::wstring> lines{L"[" + path + L"]"};
        HKEY handle = nullptr;
        if (::RegOpenKeyExW(key, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return {};
        wchar_t name[16384];
        std::vector<BYTE> data(1 << 16);
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = 16384, size = static_cast<DWORD>(data.size()), type = 0;
            if (::RegEnumValueW(handle, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
                ERROR_SUCCESS)
                break;
            lines.push_back(path + L" " + name + L" " + std::to_wstring(type) + L" " +
                            std::wstring(reinterpret_cast<wchar_t*>(data.data()), size / 2));
        }
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = 16384;
            if (::RegEnumKeyExW(handle, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            for (const std::wstring& line : Dump(key, path + L"\\" + name))
                lines.push_back(line);
        }
        ::RegCloseKey(handle);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    Win32SetupHost m_files;
    const RedirectPaths m_paths = MakeRedirectPaths(TempFolder(L"zn-redirect-test"));
};

TEST_F(RedirectProcedures, InstallThenRemovalLeaveTheFolderAndTheTreeAsTheyWere)
{
    Write(Windows11());
    const std::vector<std::wstring> before = Dump();
    InstallRedirect(m_files, m_host, m_paths);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(ReadFileBytes(m_paths.copy), ReadFileBytes(self));
    EXPECT_EQ(DebuggerAsStored(), L"\"" + m_paths.folder + L"\\ZanvekNotepad.exe\"");
    EXPECT_TRUE(RedirectInstalled(m_files, m_host, m_paths));
    EXPECT_TRUE(m_files.TemporaryFiles(m_paths.folder).empty());

    // The copy is this test program, not ZanvekNotepad: removal leaves it where it is.
    RemoveRedirect(m_files, m_host, m_paths);
    EXPECT_EQ(Dump(), before);
    EXPECT_FALSE(RedirectInstalled(m_files, m_host, m_paths));
    EXPECT_TRUE(m_files.IsFile(m_paths.copy));
}

TEST_F(RedirectProcedures, ACopyThatIsRunningIsReportedAsInUseAfterTheRedirectionIsGone)
{
    Write({});
    InstallRedirect(m_files, m_host, m_paths);
    // The program itself in the copy's place, running: it holds its file, as a launcher waiting
    // for its editor does (from this folder it is a set-up waiting at its prompt).
    ASSERT_TRUE(::CopyFileW(BuiltProgramPath().c_str(), m_paths.copy.c_str(), FALSE));
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
        // Started from here the copy is a set-up, which holds its file shared for reading only;
        // a launcher's running image is refused with access denied instead. Both say so alike.
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(error.path, m_paths.copy);
        EXPECT_EQ(error.advice.rfind(L"起動中の ZanvekNotepad.exe", 0), 0u);
        EXPECT_EQ(error.advice.find(L"管理者"), std::wstring::npos);
    }
    EXPECT_FALSE(Read().exists);
    EXPECT_TRUE(RedirectInstalled(m_files, m_host, m_paths)); // the next run offers removal

    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 5000);
    ::CloseHandle(process.hProcess);
    RemoveRedirect(m_files, m_host, m_paths);
    EXPECT_FALSE(m_files.IsFile(m_paths.copy));
}

TEST(ProtectionUnderWine, WineGuardsNoFileSoTheCopyInstallStays)
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
