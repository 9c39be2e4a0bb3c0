#include "e2e/e2e_support.h"

#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace zn::e2e {
namespace {

std::wstring Environment(const wchar_t* name)
{
    std::wstring value(32768, L'\0');
    const DWORD n = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(n < value.size() ? n : 0);
    return value;
}

// ctest passes Linux paths; Wine's drive Z: is the Linux root.
std::wstring WindowsPathFromEnvironment(const wchar_t* name)
{
    std::wstring path = Environment(name);
    if (path.empty()) ADD_FAILURE() << "environment variable not set: " << name;
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

TOKEN_ELEVATION_TYPE ElevationTypeOfToken(HANDLE token)
{
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size))
        ADD_FAILURE() << "cannot read a token's elevation type: error " << ::GetLastError();
    return type;
}

// The type of the token this process runs with, which Start passes on.
TOKEN_ELEVATION_TYPE OwnElevationType()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        ADD_FAILURE() << "cannot open this process's token";
        return TokenElevationTypeDefault;
    }
    const TOKEN_ELEVATION_TYPE type = ElevationTypeOfToken(token);
    ::CloseHandle(token);
    return type;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

std::wstring ProgramPath()
{
    return WindowsPathFromEnvironment(L"ZN_PROGRAM");
}

std::wstring StandInEditorPath()
{
    return WindowsPathFromEnvironment(L"ZN_STAND_IN_EDITOR");
}

std::wstring PlantedDllPath()
{
    return WindowsPathFromEnvironment(L"ZN_PLANTED_DLL");
}

Process::Process(Process&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_id(std::exchange(other.m_id, 0)),
      m_image(std::move(other.m_image)), m_elevation(other.m_elevation)
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        this->~Process();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_id = std::exchange(other.m_id, 0);
        m_image = std::move(other.m_image);
        m_elevation = other.m_elevation;
    }
    return *this;
}

Process::~Process()
{
    if (m_handle == nullptr) return;
    if (Running()) {
        ::TerminateProcess(m_handle, 1);
        ::WaitForSingleObject(m_handle, 5000);
    }
    ::CloseHandle(m_handle);
}

bool Process::Running() const
{
    return m_handle != nullptr && ::WaitForSingleObject(m_handle, 0) == WAIT_TIMEOUT;
}

int Process::Wait(std::chrono::milliseconds timeout)
{
    if (m_handle == nullptr) {
        ADD_FAILURE() << "no process";
        return -1;
    }
    if (::WaitForSingleObject(m_handle, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "process " << m_id << " still running after " << timeout.count() << " ms";
        ::TerminateProcess(m_handle, 1);
        ::WaitForSingleObject(m_handle, 5000);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_handle, &code);
    return static_cast<int>(code);
}

Process Start(const std::wstring& application, const std::wstring& commandLine,
              const std::wstring& folder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    if (!::CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << application << ": error " << ::GetLastError();
        return {};
    }
    ::CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId, application, OwnElevationType());
}

Process StartUnelevated(const std::wstring& application, const std::wstring& commandLine,
                        const std::wstring& folder)
{
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    HANDLE primary = nullptr;
    const bool ok = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &own) &&
                    ::GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &size) &&
                    ::DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr,
                                       SecurityImpersonation, TokenPrimary, &primary);
    if (own != nullptr) ::CloseHandle(own);
    if (linked.LinkedToken != nullptr) ::CloseHandle(linked.LinkedToken);
    if (!ok) {
        ADD_FAILURE() << "no unelevated token: error " << ::GetLastError();
        return {};
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    const TOKEN_ELEVATION_TYPE elevation = ElevationTypeOfToken(primary);
    const BOOL started = ::CreateProcessAsUserW(
        primary, application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
        folder.empty() ? nullptr : folder.c_str(), &startup, &info);
    const DWORD error = ::GetLastError();
    ::CloseHandle(primary);
    if (!started) {
        ADD_FAILURE() << "cannot start " << application << " unelevated: error " << error;
        return {};
    }
    ::CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId, application, elevation);
}

Process OpenRunningProcess(DWORD pid)
{
    const HANDLE process = ::OpenProcess(
        SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) {
        ADD_FAILURE() << "cannot open process " << pid << ": error " << ::GetLastError();
        return {};
    }
    wchar_t image[4096] = {};
    DWORD size = 4096;
    if (!::QueryFullProcessImageNameW(process, 0, image, &size))
        ADD_FAILURE() << "no image path of process " << pid;
    HANDLE token = nullptr;
    TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
    if (::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        elevation = ElevationTypeOfToken(token);
        ::CloseHandle(token);
    } else {
        ADD_FAILURE() << "cannot open the token of process " << pid;
    }
    return Process(process, pid, image, elevation);
}

std::wstring CommandLineOf(const Process& process)
{
    // PEB -> ProcessParameters -> CommandLine, read across the process boundary.
    PROCESS_BASIC_INFORMATION basic{};
    ULONG size = 0;
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    SIZE_T read = 0;
    if (::NtQueryInformationProcess(process.Handle(), ProcessBasicInformation, &basic,
                                    sizeof(basic), &size) != 0 ||
        !::ReadProcessMemory(process.Handle(), basic.PebBaseAddress, &peb, sizeof(peb), &read) ||
        !::ReadProcessMemory(process.Handle(), peb.ProcessParameters, &parameters,
                             sizeof(parameters), &read)) {
        ADD_FAILURE() << "cannot read the command line of process " << process.Id();
        return L"";
    }
    std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!::ReadProcessMemory(process.Handle(), parameters.CommandLine.Buffer, text.data(),
                             parameters.CommandLine.Length, &read))
        ADD_FAILURE() << "cannot read the command line of process " << process.Id();
    return text;
}

namespace {

// Calls `visit` with each process's entry until it returns true.
template <class Visit> void ForEachProcess(Visit visit)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !visit(entry);
         more = ::Process32NextW(snapshot, &entry)) {
    }
    ::CloseHandle(snapshot);
}

} // namespace

DWORD ParentIdOf(DWORD pid)
{
    DWORD parent = 0;
    ForEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID != pid) return false;
        parent = entry.th32ParentProcessID;
        return true;
    });
    return parent;
}

std::wstring ExeNameOf(DWORD pid)
{
    std::wstring name;
    ForEachProcess([&](const PROCESSENTRY32W& entry) {
        if (entry.th32ProcessID != pid) return false;
        name = entry.szExeFile;
        return true;
    });
    return name;
}

HWND WaitForWindow(DWORD pid, const wchar_t* className, const std::wstring& caption,
                   std::chrono::milliseconds timeout)
{
    struct Search {
        DWORD pid;
        const wchar_t* className;
        const std::wstring* caption;
        HWND found;
    };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Search search{pid, className, &caption, nullptr};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if ((s.pid != 0 && owner != s.pid) || !::IsWindowVisible(window)) return TRUE;
                if (ClassOf(window) != s.className || TextOf(window) != *s.caption) return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

HWND WaitForMessageBox(DWORD pid, const std::wstring& title, std::chrono::milliseconds timeout)
{
    return WaitForWindow(pid, L"#32770", title, timeout);
}

std::wstring MessageBoxText(HWND box)
{
    // The text is the one static control that shows text (the icon's has none).
    std::wstring text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && ::GetWindowTextLengthW(child) > 0) text = TextOf(child);
    }
    return text;
}

void Answer(HWND box, int buttonId)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, buttonId)));
}

bool AnswerMessageBox(const Process& process, const std::wstring& title, const std::wstring& text,
                      int buttonId)
{
    const HWND box = WaitForMessageBox(process.Id(), title);
    if (box == nullptr) {
        ADD_FAILURE() << "no message box titled " << title;
        return false;
    }
    EXPECT_EQ(MessageBoxText(box), text) << "message box " << title;
    // Wait until the box is gone, so the next search cannot find it again.
    Answer(box, buttonId);
    for (int i = 0; i < 250 && ::IsWindow(box); ++i)
        std::this_thread::sleep_for(20ms);
    return true;
}

void ExpectErrorReport(Process& process, const std::wstring& what, const std::wstring& path,
                       const std::wstring& advice)
{
    const HWND box = WaitForMessageBox(process.Id(), L"ZanvekNotePad");
    ASSERT_NE(box, nullptr) << "no error report";
    const std::wstring text = MessageBoxText(box);
    EXPECT_EQ(text.rfind(what + L"\r\n" + path, 0), 0u) << text;
    EXPECT_NE(text.find(L"\r\n\r\n"), std::wstring::npos) << "no reason: " << text;
    if (!advice.empty()) {
        EXPECT_NE(text.find(advice), std::wstring::npos) << text;
    }
    Answer(box, IDOK);
    EXPECT_EQ(process.Wait(), 3);
}

std::string ReadBytes(const std::wstring& path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kMissing;
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    ::CloseHandle(file);
    return bytes;
}

std::string Checksum(const std::string& bytes)
{
    if (bytes == kMissing) return kMissing;
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    char text[64];
    std::snprintf(text, sizeof(text), "%zu bytes, fnv1a %016llx", bytes.size(),
                  static_cast<unsigned long long>(hash));
    return text;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CopyOver(const std::wstring& from, const std::wstring& to)
{
    ASSERT_TRUE(::CopyFileW(from.c_str(), to.c_str(), FALSE))
        << from << " -> " << to << ": " << ::GetLastError();
}

void MakeFolders(const std::wstring& folder)
{
    for (std::size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

namespace {
constexpr wchar_t kSettingsKey[] = L"Software\\Kestrane\\ZanvekNOTEPAD";
}

void SetEditorSetting(const std::wstring& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

void ClearEditorSetting()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

std::wstring EditorSetting()
{
    wchar_t buffer[4096] = {};
    DWORD size = sizeof(buffer);
    if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                       &size) != ERROR_SUCCESS)
        return L"<none>";
    return buffer;
}

EditorRecord ReadEditorRecord(const std::wstring& file)
{
    EditorRecord record;
    const std::string bytes = ReadBytes(file);
    if (bytes == kMissing) return record;
    record.present = true;
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    std::vector<std::wstring> lines;
    for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (lines.size() >= 2) {
        record.module = lines[0];
        record.commandLine = lines[1];
        record.argv.assign(lines.begin() + 2, lines.end());
    }
    return record;
}

void PrepareInstalledProgram()
{
    MakeFolders(L"C:\\e2e");
    MakeFolders(L"C:\\Tools");
    CopyOver(ProgramPath(), kNotepad);
    CopyOver(StandInEditorPath(), kStandInEditor);
    ::DeleteFileW(kEditorRecord.c_str());
    ClearEditorSetting();
    SetEnv(L"ZN_EDITOR_RECORD", kEditorRecord);
    SetEnv(L"ZN_EDITOR_EXIT_CODE", L"0");
}

void ClickButton(HWND window, int id)
{
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
}

std::wstring ControlText(HWND window)
{
    wchar_t buffer[2048] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

std::wstring WaitForText(HWND window, const std::wstring& expected,
                         std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::wstring text = ControlText(window);
    while (text != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        text = ControlText(window);
    }
    return text;
}

POINT CentreOf(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void SetEnv(const wchar_t* name, const std::wstring& value)
{
    ::SetEnvironmentVariableW(name, value.c_str());
}

Process StartCommandLine(const std::wstring& commandLine, const std::wstring& folder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << ::GetLastError();
        return {};
    }
    ::CloseHandle(info.hThread);
    // The program is the command line's first token.
    std::wstring image = commandLine;
    if (!image.empty() && image[0] == L'"')
        image = image.substr(1, image.find(L'"', 1) - 1);
    else
        image = image.substr(0, image.find_first_of(L" \t"));
    return Process(info.hProcess, info.dwProcessId, std::move(image), OwnElevationType());
}

namespace {

std::wstring Hex(const BYTE* bytes, DWORD size)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    for (DWORD i = 0; i < size; ++i) {
        if (i > 0) text += L' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

// A value's place in a dump, in the manner of a .reg file: [subkey] "name", or [subkey] @ for
// the default value.
std::wstring ValueEntry(const std::wstring& subkey, const std::wstring& name)
{
    return L"[" + subkey + L"] " + (name.empty() ? L"@" : L"\"" + name + L"\"");
}

void DumpKey(HKEY key, const std::wstring& subkey, REGSAM view, RegistryDump& dump)
{
    dump[L"[" + subkey + L"]"] = L"key";
    DWORD subkeys = 0, values = 0, longestKey = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestKey, nullptr, &values,
                           &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        dump[L"[" + subkey + L"]"] = L"key that cannot be read";
        return;
    }
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        dump[ValueEntry(subkey, std::wstring(name.data(), nameLength))] =
            std::to_wstring(type) + L": " + Hex(data.data(), size);
    }
    std::vector<wchar_t> child(longestKey + 1);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = static_cast<DWORD>(child.size());
        if (::RegEnumKeyExW(key, i, child.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        const std::wstring childName(child.data(), length);
        const std::wstring path = subkey.empty() ? childName : subkey + L"\\" + childName;
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
            dump[L"[" + path + L"]"] = L"key that cannot be opened";
            continue;
        }
        DumpKey(opened, path, view, dump);
        ::RegCloseKey(opened);
    }
}

} // namespace

bool ChooseTextApp(const std::wstring& progId)
{
    HKEY txt = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\.txt", 0, nullptr, 0,
                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &txt, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        ::RegSetValueExW(txt, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId.c_str()),
                         static_cast<DWORD>((progId.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(txt);
    return status == ERROR_SUCCESS;
}

Process OpenThroughTheShell(const std::wstring& document, const std::wstring& image)
{
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof(open);
    open.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    open.lpVerb = L"open";
    open.lpFile = document.c_str();
    open.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&open) || open.hProcess == nullptr) return {};
    return Process(open.hProcess, ::GetProcessId(open.hProcess), image, TokenElevationTypeDefault);
}

RegistryDump DumpRegistryTree(HKEY root, const std::wstring& path, REGSAM view)
{
    RegistryDump dump;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return dump;
    DumpKey(key, L"", view, dump);
    ::RegCloseKey(key);
    return dump;
}

} // namespace zn::e2e
