// A stand-in for the user's editor in the end-to-end tests. It records how it was started and
// ends at once with a chosen exit code. Settings come from the environment, which the launcher
// passes on unchanged:
//   ZN_EDITOR_RECORD     file to write: its own module path, its full command line, then each
//                        argument as CommandLineToArgvW splits it; one per line, UTF-16LE
//   ZN_EDITOR_EXIT_CODE  exit code (decimal; 0 when unset)
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

void Record(const std::wstring& file)
{
    wchar_t module[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    std::wstring text = std::wstring(module) + L"\n" + ::GetCommandLineW() + L"\n";
    int argc = 0;
    if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
        for (int i = 0; i < argc; ++i) text += std::wstring(argv[i]) + L"\n";
        ::LocalFree(argv);
    }
    const HANDLE out = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(out);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring record = Environment(L"ZN_EDITOR_RECORD");
    if (!record.empty()) Record(record);
    const std::wstring code = Environment(L"ZN_EDITOR_EXIT_CODE");
    return code.empty() ? 0 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
