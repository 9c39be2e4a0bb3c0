/* The floor for the launch benchmark: the least a launcher can do. One registry call for the
 * editor path, one CreateProcessW with the same quoted command line, wait, pass the exit code
 * on. No file check, no folder lookup, no GUI DLLs, no C++ runtime: whatever the real launcher
 * costs beyond this program is its own overhead. */
#include <windows.h>

#define SETTINGS_KEY L"Software\\Kestrane\\ZanvekNOTEPAD"

/* Usual paths fit without touching the heap; longer ones still work. */
#define INLINE_CHARS 520

#include "command_tail.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR unused, int show)
{
    (void)instance;
    (void)previous;
    (void)unused;
    (void)show;
    wchar_t inlinePath[INLINE_CHARS];
    wchar_t* path = inlinePath;
    DWORD bytes = sizeof(inlinePath);
    LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, NULL, RRF_RT_REG_SZ, NULL, path, &bytes);
    if (status == ERROR_MORE_DATA) {
        path = HeapAlloc(GetProcessHeap(), 0, bytes);
        if (path == NULL) return 1;
        status =
            RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, NULL, RRF_RT_REG_SZ, NULL, path, &bytes);
    }
    if (status != ERROR_SUCCESS) return 1;

    const wchar_t* argument = Tail(GetCommandLineW());
    const size_t pathChars = lstrlenW(path);
    const size_t argumentChars = lstrlenW(argument);
    wchar_t* command =
        HeapAlloc(GetProcessHeap(), 0, (pathChars + argumentChars + 4) * sizeof(wchar_t));
    if (command == NULL) return 1;
    wchar_t* out = command;
    *out++ = L'"';
    CopyMemory(out, path, pathChars * sizeof(wchar_t));
    out += pathChars;
    *out++ = L'"';
    *out++ = L' ';
    CopyMemory(out, argument, (argumentChars + 1) * sizeof(wchar_t));

    STARTUPINFOW startup = {0};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {0};
    if (!CreateProcessW(path, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        return 1;
    CloseHandle(started.hThread);
    DWORD exitCode = 1;
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    return (int)exitCode;
}
