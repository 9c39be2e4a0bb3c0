// A DLL planted beside a downloaded set-up under the name of one the system has: when it is
// loaded it leaves C:\e2e\planted\<its own file name>, and the planting test fails.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
    const std::wstring module(path, length);
    ::CreateDirectoryW(L"C:\\e2e", nullptr);
    ::CreateDirectoryW(L"C:\\e2e\\planted", nullptr);
    const std::wstring marker = L"C:\\e2e\\planted\\" + module.substr(module.rfind(L'\\') + 1);
    const HANDLE file =
        ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}
