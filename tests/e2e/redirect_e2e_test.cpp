// Set-up on a system that protects the Windows folder's notepad.exe, as Windows does: the
// prefixes of the ProtectedSetup cases have a system sfc.dll that says so (zn_add_e2e(...
// PROTECTED)). Set-up then installs the redirection: the program copied to
// <Windows>\ZanvekNotepad.exe and the Debugger value that sends Notepad's starts there. Each
// case compares the Windows folder's files by checksum and dumps the notepad.exe option key,
// value by value, before and after. UnprotectedSetup shows that an ordinary prefix keeps the
// copy over notepad.exe and gets no redirection.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

namespace zn::e2e {
namespace {

const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
const std::wstring kRedirectCopy = kWindows + L"\\ZanvekNotepad.exe";
const std::wstring kOptionsKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe";
// The copy's path in double quotes, shown in the dump's own quotes.
const std::wstring kOurDebugger = L"REG_SZ \"\"" + kRedirectCopy + L"\"\"";

// The Windows folder's own files (not its subfolders') and the system folder's notepad.exe, each
// by a checksum of its content.
using Folder = std::map<std::wstring, std::string>;

Folder WindowsFiles()
{
    Folder files;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((kWindows + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot list " << kWindows;
        return files;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files[found.cFileName] = Checksum(ReadBytes(kWindows + L"\\" + found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    files[L"system32\\notepad.exe"] = Checksum(ReadBytes(kWindows + L"\\system32\\notepad.exe"));
    return files;
}

// The notepad.exe option key in the 64-bit view: one line per value, "<key> : <name> = <type>
// <data>", a line for a key without values, sorted; "(no key)" when it is missing.
using KeyDump = std::vector<std::wstring>;

std::wstring DescribeValue(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(text.size() * 2),
                  reinterpret_cast<BYTE*>(text.data()));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return (type == REG_SZ ? L"REG_SZ \"" : L"REG_EXPAND_SZ \"") + text + L"\"";
    }
    if (type == REG_DWORD && data.size() == 4)
        return L"REG_DWORD " + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    return L"type " + std::to_wstring(type) + L", " + std::to_wstring(data.size()) + L" bytes";
}

void DumpKey(HKEY key, const std::wstring& name, KeyDump& dump)
{
    std::vector<wchar_t> valueName(16384);
    std::vector<BYTE> data(65536);
    DWORD index = 0;
    for (;; ++index) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        if (::RegEnumValueW(key, index, valueName.data(), &nameLength, nullptr, &type, data.data(),
                            &size) != ERROR_SUCCESS)
            break;
        dump.push_back(name + L" : " + std::wstring(valueName.data(), nameLength) + L" = " +
                       DescribeValue(type, std::vector<BYTE>(data.begin(), data.begin() + size)));
    }
    if (index == 0) dump.push_back(name + L" : (no values)");
    for (DWORD subkey = 0;; ++subkey) {
        wchar_t subkeyName[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key, subkey, subkeyName, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (::RegOpenKeyExW(key, subkeyName, 0, KEY_READ | KEY_WOW64_64KEY, &child) !=
            ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot open subkey " << subkeyName;
            continue;
        }
        DumpKey(child, name + L"\\" + subkeyName, dump);
        ::RegCloseKey(child);
    }
}

KeyDump NotepadOptions()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOptionsKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                        &key) != ERROR_SUCCESS)
        return {L"(no key)"};
    KeyDump dump;
    DumpKey(key, L"notepad.exe", dump);
    ::RegCloseKey(key);
    std::sort(dump.begin(), dump.end());
    return dump;
}

// `before` with our Debugger added in each of `places` (the key itself is "notepad.exe").
KeyDump WithOurDebugger(KeyDump before, const std::vector<std::wstring>& places)
{
    const auto dropped = [&](const std::wstring& line) {
        if (line == L"(no key)") return true;
        for (const std::wstring& place : places)
            if (line == place + L" : (no values)") return true;
        return false;
    };
    before.erase(std::remove_if(before.begin(), before.end(), dropped), before.end());
    for (const std::wstring& place : places)
        before.push_back(place + L" : Debugger = " + kOurDebugger);
    std::sort(before.begin(), before.end());
    return before;
}

void Show(const char* title, const KeyDump& dump)
{
    std::printf("%s\n", title);
    for (const std::wstring& line : dump)
        std::printf("  %ls\n", line.c_str());
    std::fflush(stdout);
}

// Writes values into the notepad.exe key (`subkey` empty) or one of its subkeys, with the
// system's functions, as Windows or another program would have left them.
void SetOption(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data,
               DWORD size)
{
    const std::wstring path = subkey.empty() ? kOptionsKey : kOptionsKey + L"\\" + subkey;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void SetText(const std::wstring& subkey, const std::wstring& name, const std::wstring& text)
{
    SetOption(subkey, name, REG_SZ, text.c_str(),
              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetNumber(const std::wstring& subkey, const std::wstring& name, DWORD number)
{
    SetOption(subkey, name, REG_DWORD, &number, sizeof(number));
}

// The key as Windows 11 ships it: the filter on, and one subkey per notepad.exe sending its
// starts to the packaged Notepad.
void WriteWindows11Options()
{
    SetNumber(L"", L"UseFilter", 1);
    const wchar_t* const paths[] = {L"C:\\Windows\\notepad.exe",
                                    L"C:\\Windows\\System32\\notepad.exe",
                                    L"C:\\Windows\\SysWOW64\\notepad.exe"};
    for (int i = 0; i < 3; ++i) {
        const std::wstring subkey = std::to_wstring(i);
        SetNumber(subkey, L"AppExecutionAliasRedirect", 1);
        SetText(subkey, L"AppExecutionAliasRedirectPackages", L"*");
        SetText(subkey, L"FilterFullPath", paths[i]);
    }
}

// Which file a path names, whatever was written into it.
std::pair<DWORD, ULONGLONG> FileIdOf(const std::wstring& path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return {info.dwVolumeSerialNumber,
            (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// The trees the default-app registration writes into, value by value, each entry named by its
// tree and its place in it.
const wchar_t* const kRegistrationTrees[] = {L"SOFTWARE\\Classes", L"SOFTWARE\\Kestrane",
                                             L"SOFTWARE\\RegisteredApplications"};

RegistryDump RegistrationTrees()
{
    RegistryDump all;
    for (const wchar_t* tree : kRegistrationTrees)
        for (const auto& [entry, value] : DumpRegistryTree(HKEY_LOCAL_MACHINE, tree))
            all[std::wstring(tree) + L" " + entry] = value;
    return all;
}

std::wstring MachineText(const std::wstring& key, const std::wstring& name)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.empty() ? nullptr : name.c_str(),
                       RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, text,
                       &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

// The registration as written: each value's exact text; and nothing else added than those
// values and the keys on their way.
void ExpectTheRegistration(const RegistryDump& before, const RegistryDump& after)
{
    const std::wstring progId = L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile";
    const std::wstring capabilities = L"SOFTWARE\\Kestrane\\ZanvekNOTEPAD\\Capabilities";
    std::vector<std::pair<std::wstring, std::wstring>> values = {
        {progId, L""},
        {progId + L"\\DefaultIcon", L""},
        {progId + L"\\shell\\open\\command", L""},
        {L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe", L"FriendlyAppName"},
        {capabilities, L"ApplicationName"},
        {capabilities, L"ApplicationDescription"},
        {L"SOFTWARE\\RegisteredApplications", L"ZanvekNotepad"},
    };
    for (const wchar_t* type : {L".txt", L".log", L".ini", L".inf"}) {
        values.emplace_back(std::wstring(L"SOFTWARE\\Classes\\") + type + L"\\OpenWithProgids",
                            L"ZanvekNotepad.TextFile");
        values.emplace_back(capabilities + L"\\FileAssociations", type);
    }
    const std::map<std::pair<std::wstring, std::wstring>, std::wstring> expected = {
        {values[0], L"テキスト ドキュメント (ZanvekNotepad)"},
        {values[1], L"\"" + kRedirectCopy + L"\",0"},
        {values[2], L"\"" + kRedirectCopy + L"\" notepad.exe \"%1\""},
        {values[3], L"ZanvekNotepad"},
        {values[4], L"ZanvekNotepad"},
        {values[5], L"メモ帳の代わりに、登録したエディタでテキスト ファイルを開きます。"},
        {values[6], capabilities},
    };
    for (const auto& [key, name] : values) {
        const auto known = expected.find({key, name});
        const std::wstring text = known != expected.end()  ? known->second
                                  : name.starts_with(L".") ? L"ZanvekNotepad.TextFile"
                                                           : L"";
        EXPECT_EQ(MachineText(key, name), text) << key << " " << name;
    }
    std::size_t addedValues = 0;
    for (const auto& [entry, value] : after) {
        const auto was = before.find(entry);
        if (was != before.end() && was->second == value) continue;
        if (value == L"key") {
            // A key on the way to one of ours.
            const bool onTheWay = std::any_of(values.begin(), values.end(), [&](const auto& v) {
                const std::size_t space = entry.find(L" [");
                std::wstring key = entry.substr(0, space);
                const std::wstring below = entry.substr(space + 2, entry.size() - space - 3);
                if (!below.empty()) key += L"\\" + below;
                return v.first.starts_with(key);
            });
            EXPECT_TRUE(onTheWay) << entry;
        } else {
            ++addedValues;
        }
    }
    EXPECT_EQ(addedValues, values.size());
}

class ProtectedSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeFolders(kDownloads);
        CopyOver(ProgramPath(), m_self);
        m_program = Checksum(ReadBytes(m_self));
    }

    Process RunSetup() { return Start(m_self, L"\"" + m_self + L"\"", kDownloads); }

    // After an accepted install: the registration window, which the redirect copy shows (Wine
    // runs set-up elevated, so the desktop's shell started the installed launcher), closed.
    static void ExpectTheRedirectCopysWindowThenClose(Process& setup)
    {
        OpenedWindow opened = WaitForOpenedWindow(setup);
        ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
        EXPECT_PRED2(SamePath, opened.launcher.Image(), kRedirectCopy);
        ::PostMessageW(opened.window, WM_CLOSE, 0, 0);
        EXPECT_EQ(opened.Owner(setup).Wait(), 0);
    }

    // Set-up run with nothing installed: only the install prompt, answered Yes.
    void Install()
    {
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
        ExpectTheRedirectCopysWindowThenClose(setup);
    }

    // Set-up run with an installation there: removal Yes, install No.
    void Remove()
    {
        Process setup = RunSetup();
        ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
        ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDNO));
        EXPECT_EQ(setup.Wait(), 0);
    }

    // Install, then removal, from the key as it is: only the copy and our Debugger in `places`
    // are added, and removal takes exactly those away.
    void InstallThenRemove(const std::vector<std::wstring>& places)
    {
        const Folder folderBefore = WindowsFiles();
        const KeyDump keyBefore = NotepadOptions();
        Show("notepad.exe option key before set-up:", keyBefore);
        const RegistryDump registrationBefore = RegistrationTrees();

        Install();
        ExpectTheRegistration(registrationBefore, RegistrationTrees());
        Folder withCopy = folderBefore;
        withCopy[L"ZanvekNotepad.exe"] = m_program;
        EXPECT_EQ(WindowsFiles(), withCopy) << "only ZanvekNotepad.exe added";
        const KeyDump keyInstalled = NotepadOptions();
        Show("after the install:", keyInstalled);
        EXPECT_EQ(keyInstalled, WithOurDebugger(keyBefore, places));

        Remove();
        EXPECT_EQ(WindowsFiles(), folderBefore);
        const KeyDump keyRemoved = NotepadOptions();
        Show("after the removal:", keyRemoved);
        EXPECT_EQ(keyRemoved, keyBefore);
        EXPECT_EQ(RegistrationTrees(), registrationBefore);
    }

    const std::wstring m_self = kDownloads + L"\\ZanvekNotepad.exe";
    std::string m_program;
};

TEST_F(ProtectedSetup, InstallAndRemovalWithoutAnOptionKey)
{
    ASSERT_EQ(NotepadOptions(), KeyDump{L"(no key)"}) << "Wine's own registry has none";
    InstallThenRemove({L"notepad.exe"});
}

TEST_F(ProtectedSetup, InstallAndRemovalWithAWindows11OptionKey)
{
    WriteWindows11Options();
    InstallThenRemove({L"notepad.exe", L"notepad.exe\\0", L"notepad.exe\\1", L"notepad.exe\\2"});
}

// With the user's choice stood in for by HKCR\\.txt (Wine reads no per-user choice), a text
// file opened through the shell reaches the chosen editor, its path with blanks whole.
TEST_F(ProtectedSetup, ATextFileOpenedThroughTheRegisteredProgIdReachesTheEditorWhole)
{
    Install();
    MakeFolders(L"C:\\Tools");
    CopyOver(StandInEditorPath(), kStandInEditor);
    SetEditorSetting(kStandInEditor);
    SetEnv(L"ZN_EDITOR_RECORD", kEditorRecord);
    MakeFolders(L"C:\\e2e");
    ASSERT_TRUE(ChooseTextApp(L"ZanvekNotepad.TextFile"));
    const std::wstring document = L"C:\\users\\Public\\My Notes\\New Text Document.txt";
    MakeFolders(L"C:\\users\\Public\\My Notes");
    WriteBytes(document, "memo");

    Process launcher = OpenThroughTheShell(document, kRedirectCopy);
    ASSERT_NE(launcher.Handle(), nullptr) << "the shell did not open the document";
    EXPECT_EQ(launcher.Wait(), 0);
    const EditorRecord record = ReadEditorRecord(kEditorRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{kStandInEditor, document}));
}

TEST_F(ProtectedSetup, AnotherProgramsDebuggerIsNamedAndNothingChanges)
{
    SetText(L"", L"Debugger", L"\"C:\\Tools\\other.exe\" -z");
    const Folder folderBefore = WindowsFiles();
    const KeyDump keyBefore = NotepadOptions();
    Show("notepad.exe option key before set-up:", keyBefore);
    Process setup = RunSetup();
    // Not ours: no removal is offered.
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(setup,
                      L"ほかのプログラムが Notepad の起動先 (Debugger) を設定しているため、"
                      L"インストールしませんでした。何も変更していません。",
                      L"HKEY_LOCAL_MACHINE\\" + kOptionsKey +
                          L"\r\nDebugger = \"C:\\Tools\\other.exe\" -z",
                      L"そのプログラムの設定を解除してから、もう一度実行してください。");
    EXPECT_EQ(WindowsFiles(), folderBefore);
    EXPECT_EQ(NotepadOptions(), keyBefore);
}

TEST_F(ProtectedSetup, ARedirectCopyInUseIsReportedAndItsRemovalOfferedAgain)
{
    const Folder folderBefore = WindowsFiles();
    const KeyDump keyBefore = NotepadOptions();
    Install();

    // Windows' part: a start of Notepad sent to the redirect copy, which starts the editor and
    // waits for it while the user keeps it open.
    MakeFolders(L"C:\\Tools");
    MakeFolders(L"C:\\e2e");
    CopyOver(StandInEditorPath(), kStandInEditor);
    SetEditorSetting(kStandInEditor);
    const wchar_t kEditorOpen[] = L"ZanvekNotepadE2eEditorOpen";
    const HANDLE editorOpen = ::CreateEventW(nullptr, TRUE, FALSE, kEditorOpen);
    ASSERT_NE(editorOpen, nullptr);
    SetEnv(L"ZN_EDITOR_WAIT_EVENT", kEditorOpen);
    SetEnv(L"ZN_EDITOR_RECORD", kEditorRecord);
    Process launcher = Start(kRedirectCopy, L"\"" + kRedirectCopy +
                                                L"\" C:\\windows\\system32\\notepad.exe "
                                                L"C:\\e2e\\memo.txt");
    for (int i = 0; i < 500 && !ReadEditorRecord(kEditorRecord).present; ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(ReadEditorRecord(kEditorRecord).present) << "the editor did not start";
    ASSERT_TRUE(launcher.Running()) << "the launcher does not wait for its editor";

    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ExpectErrorReport(
        setup, L"Notepad のリダイレクトは解除しましたが、ファイルを削除できませんでした。",
        kRedirectCopy,
        L"起動中の ZanvekNotepad.exe (エディターの終了を待っています) は削除できません"
        L"。エディターを閉じてから、もう一度実行してください。");
    EXPECT_EQ(NotepadOptions(), keyBefore) << "the redirection is gone already";
    Folder withCopy = folderBefore;
    withCopy[L"ZanvekNotepad.exe"] = m_program;
    EXPECT_EQ(WindowsFiles(), withCopy);

    // The editor closed, the next run offers the removal again and finishes it.
    ::SetEvent(editorOpen);
    EXPECT_EQ(launcher.Wait(), 0);
    ::CloseHandle(editorOpen);
    Remove();
    EXPECT_EQ(WindowsFiles(), folderBefore);
    EXPECT_EQ(NotepadOptions(), keyBefore);
}

TEST_F(ProtectedSetup, ARedirectCopyThatIsAnotherProgramIsNotReplaced)
{
    CopyOver(StandInEditorPath(), kRedirectCopy);
    const Folder folderBefore = WindowsFiles();
    const KeyDump keyBefore = NotepadOptions();
    Process setup = RunSetup();
    // Not this program: nothing to remove.
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectErrorReport(
        setup, L"ZanvekNotepad.exe が ZanvekNotepad ではないため、置き換えませんでした。",
        kRedirectCopy, L"Windows フォルダーの ZanvekNotepad.exe を確認してください。");
    EXPECT_EQ(WindowsFiles(), folderBefore);
    EXPECT_EQ(NotepadOptions(), keyBefore);
}

// An earlier copy install, made before the system protected notepad.exe: removal undoes it and
// the install that follows redirects.
TEST_F(ProtectedSetup, AnEarlierCopyInstallIsUndoneAndTheRedirectionTakesItsPlace)
{
    const Folder folderBefore = WindowsFiles();
    const KeyDump keyBefore = NotepadOptions();
    CopyOver(kNotepad, kBackup);
    CopyOver(ProgramPath(), kNotepad);

    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectTheRedirectCopysWindowThenClose(setup);
    Folder redirected = folderBefore;
    redirected[L"ZanvekNotepad.exe"] = m_program;
    EXPECT_EQ(WindowsFiles(), redirected);
    EXPECT_EQ(NotepadOptions(), WithOurDebugger(keyBefore, {L"notepad.exe"}));
}

// An earlier version's copy over the protected notepad.exe failed after it had made the backup:
// the system Notepad in both files. Removal takes the backup away and does not write
// notepad.exe, which Windows would refuse.
TEST_F(ProtectedSetup, ABackupLikeTheProtectedNotepadIsDeletedAndNotepadExeLeftAsItIs)
{
    const Folder folderBefore = WindowsFiles();
    const auto notepadBefore = FileIdOf(kNotepad);
    CopyOver(kNotepad, kBackup);

    Process setup = RunSetup();
    ASSERT_TRUE(AnswerMessageBox(setup, kRemoveTitle, kRemoveText, IDYES));
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    ExpectTheRedirectCopysWindowThenClose(setup);
    EXPECT_EQ(FileIdOf(kNotepad), notepadBefore) << "notepad.exe was replaced";
    Folder redirected = folderBefore;
    redirected[L"ZanvekNotepad.exe"] = m_program;
    EXPECT_EQ(WindowsFiles(), redirected);
}

// Where nothing is protected (Wine as it is), the copy over notepad.exe, and no redirection.
TEST(UnprotectedSetup, TheCopyInstallWritesNoRedirection)
{
    const std::wstring self = kDownloads + L"\\ZanvekNotepad.exe";
    MakeFolders(kDownloads);
    CopyOver(ProgramPath(), self);
    const Folder folderBefore = WindowsFiles();
    const KeyDump keyBefore = NotepadOptions();
    Process setup = Start(self, L"\"" + self + L"\"", kDownloads);
    ASSERT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
    OpenedWindow opened = WaitForOpenedWindow(setup);
    ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
    EXPECT_PRED2(SamePath, opened.launcher.Image(), kNotepad);
    ::PostMessageW(opened.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(opened.Owner(setup).Wait(), 0);

    Folder copied = folderBefore;
    copied[L"notepad.exe"] = Checksum(ReadBytes(self));
    copied[L"notepad.met"] = folderBefore.at(L"notepad.exe");
    EXPECT_EQ(WindowsFiles(), copied);
    EXPECT_EQ(NotepadOptions(), keyBefore);
}

} // namespace
} // namespace zn::e2e
