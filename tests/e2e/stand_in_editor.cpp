// A stand-in for the user's editor in the end-to-end tests. It records how it was started and
// ends at once with a chosen exit code. Settings come from the environment, which the launcher
// passes on unchanged:
//   ZN_EDITOR_RECORD     file to write: its own module path, its full command line, then each
//                        argument as CommandLineToArgvW splits it; one per line, UTF-16LE
//   ZN_EDITOR_RECORD_DIR folder to write the same record into, as <process id>.txt (for many
//                        editors started at once)
//   ZN_EDITOR_EXIT_CODE  exit code (decimal; 0 when unset)
//   ZN_EDITOR_PARENT_MODULES  file to write the names of the modules loaded in the process that
//                        started this one (the launcher, which is waiting for it), one per line
//   ZN_EDITOR_WAIT_EVENT name of an event to wait for (a minute at most) after recording, as an
//                        editor that the user keeps open
//   ZN_EDITOR_START_NOTEPAD  a number n > 0: after recording, start C:\windows\notepad.exe with
//                        this editor's own arguments (the same document), with n - 1 in this
//                        variable, wait for it and end with its exit code, as an editor set to
//                        open its documents in Notepad would
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

void WriteText(const std::wstring& file, const std::wstring& text)
{
    const HANDLE out =
        ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(out);
}

void Record(const std::wstring& file)
{
    wchar_t module[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    std::wstring text = std::wstring(module) + L"\n" + ::GetCommandLineW() + L"\n";
    int argc = 0;
    if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        for (int i = 0; i < argc; ++i)
            text += std::wstring(argv[i]) + L"\n";
        ::LocalFree(argv);
    }
    WriteText(file, text);
}

DWORD ParentProcessId()
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    ::CloseHandle(snapshot);
    return parent;
}

void RecordParentModules(const std::wstring& file)
{
    std::wstring text;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ParentProcessId());
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Module32FirstW(snapshot, &entry); more;
         more = ::Module32NextW(snapshot, &entry))
        text += std::wstring(entry.szModule) + L"\n";
    ::CloseHandle(snapshot);
    WriteText(file, text);
}

// This editor's arguments: what follows its quoted or unquoted name and the blanks after it.
std::wstring OwnArguments()
{
    const wchar_t* line = ::GetCommandLineW();
    if (*line == L'"') {
        for (++line; *line != L'\0' && *line != L'"'; ++line) {
        }
        if (*line == L'"') ++line;
    } else {
        while (*line > L' ')
            ++line;
    }
    while (*line != L'\0' && *line <= L' ')
        ++line;
    return line;
}

int StartNotepadAgain(long remaining)
{
    ::SetEnvironmentVariableW(L"ZN_EDITOR_START_NOTEPAD", std::to_wstring(remaining).c_str());
    std::wstring command = L"C:\\windows\\notepad.exe " + OwnArguments();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(L"C:\\windows\\notepad.exe", command.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &started))
        return 100;
    ::WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 101;
    ::GetExitCodeProcess(started.hProcess, &code);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return static_cast<int>(code);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring record = Environment(L"ZN_EDITOR_RECORD");
    if (!record.empty()) Record(record);
    const std::wstring recordDir = Environment(L"ZN_EDITOR_RECORD_DIR");
    if (!recordDir.empty())
        Record(recordDir + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L".txt");
    const std::wstring modules = Environment(L"ZN_EDITOR_PARENT_MODULES");
    if (!modules.empty()) RecordParentModules(modules);
    const std::wstring waitFor = Environment(L"ZN_EDITOR_WAIT_EVENT");
    if (!waitFor.empty()) {
        if (const HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, waitFor.c_str())) {
            ::WaitForSingleObject(event, 60000);
            ::CloseHandle(event);
        }
    }
    const long again = std::wcstol(Environment(L"ZN_EDITOR_START_NOTEPAD").c_str(), nullptr, 10);
    if (again > 0) return StartNotepadAgain(again - 1);
    const std::wstring code = Environment(L"ZN_EDITOR_EXIT_CODE");
    return code.empty() ? 0 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
