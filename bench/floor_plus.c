/* The floor launcher with one of the installed program's costs added back, to find where the
 * program's time beyond the floor goes (bench/variants.sh). Valid C and C++; switches:
 *   ZN_PLUS_CHECKS    the Win32 calls the program makes before starting the editor: DLL search
 *                     folder, heap setting, own path and file identity, Windows folder, the
 *                     registry read as two calls, the editor's file check
 *   ZN_PLUS_SIZES_FIRST  with ZN_PLUS_CHECKS: the same checks, but the two files' sizes and
 *                     the directory flag come from FileStandardInfo, and the identity
 *                     (GetFileInformationByHandle, whose volume serial number Wine asks its
 *                     mount manager for) is read only when the sizes are equal
 *   ZN_PLUS_PAD_KB    that many KB of read-only data kept in the image (the program's size)
 *   ZN_PLUS_CXX       compiled as C++ with the program's runtime pulled in: exceptions,
 *                     std::wstring (the static libstdc++ and winpthreads start-up) */
#include <windows.h>

#ifdef ZN_PLUS_CXX
#include <stdexcept>
#include <string>
#endif

#define SETTINGS_KEY L"Software\\Kestrane\\ZanvekNOTEPAD"
#define INLINE_CHARS 520

#ifdef ZN_PLUS_PAD_KB
/* Volatile reads keep the table from being dropped; it is never touched in a normal run. */
static const volatile unsigned char kPad[ZN_PLUS_PAD_KB * 1024] = {1};
#endif

#ifdef ZN_PLUS_CXX
/* Never throws in a run; its presence links the C++ exception machinery as the program does. */
static std::wstring Checked(const wchar_t* text)
{
    std::wstring copy(text);
    if (copy.empty()) throw std::runtime_error("empty");
    return copy;
}
#endif

#include "command_tail.h"

#ifdef ZN_PLUS_CHECKS
/* Opens a file only for its attributes, as the program does. */
static HANDLE OpenForAttributes(const wchar_t* path)
{
    return CreateFileW(path, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

/* The program's steps before it starts the editor; returns 0 when one fails. */
static int LauncherChecks(const wchar_t* editor)
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HeapSetInformation(NULL, HeapEnableTerminationOnCorruption, NULL, 0);
    wchar_t module[MAX_PATH], finalPath[MAX_PATH], windows[MAX_PATH];
    if (GetModuleFileNameW(NULL, module, MAX_PATH) == 0) return 0;
    HANDLE self = OpenForAttributes(module);
    if (self == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION own, other;
#ifdef ZN_PLUS_SIZES_FIRST
    FILE_STANDARD_INFO ownSize, otherSize;
    int ok = GetFileInformationByHandleEx(self, FileStandardInfo, &ownSize, sizeof(ownSize)) &&
             GetFinalPathNameByHandleW(self, finalPath, MAX_PATH,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) != 0;
    ok = ok && GetWindowsDirectoryW(windows, MAX_PATH) != 0;
    HANDLE file = OpenForAttributes(editor);
    if (file == INVALID_HANDLE_VALUE) return 0;
    ok = ok &&
         GetFileInformationByHandleEx(file, FileStandardInfo, &otherSize, sizeof(otherSize)) &&
         !otherSize.Directory;
    /* Files of different sizes are different files: no identity needed. */
    if (ok && otherSize.EndOfFile.QuadPart == ownSize.EndOfFile.QuadPart)
        ok = GetFileInformationByHandle(self, &own) && GetFileInformationByHandle(file, &other);
    CloseHandle(self);
#else
    int ok = GetFileInformationByHandle(self, &own) &&
             GetFinalPathNameByHandleW(self, finalPath, MAX_PATH,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) != 0;
    CloseHandle(self);
    ok = ok && GetWindowsDirectoryW(windows, MAX_PATH) != 0;
    HANDLE file = OpenForAttributes(editor);
    if (file == INVALID_HANDLE_VALUE) return 0;
    ok = ok && GetFileInformationByHandle(file, &other) &&
         !(other.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
#endif
    CloseHandle(file);
    return ok;
}
#endif

static LSTATUS ReadEditor(wchar_t* path, DWORD* bytes)
{
#ifdef ZN_PLUS_CHECKS
    HKEY key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) return status;
    DWORD type = 0;
    status = RegQueryValueExW(key, NULL, NULL, &type, (BYTE*)path, bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type != REG_SZ ? ERROR_INVALID_DATA : status;
#else
    return RegGetValueW(HKEY_CURRENT_USER, SETTINGS_KEY, NULL, RRF_RT_REG_SZ, NULL, path, bytes);
#endif
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR unused, int show)
{
    (void)instance;
    (void)previous;
    (void)unused;
    (void)show;
#ifdef ZN_PLUS_PAD_KB
    if (kPad[0] != 1) return 3;
#endif
    wchar_t path[INLINE_CHARS];
    DWORD bytes = sizeof(path) - sizeof(wchar_t);
    if (ReadEditor(path, &bytes) != ERROR_SUCCESS) return 1;
    path[bytes / sizeof(wchar_t)] = 0;
#ifdef ZN_PLUS_CHECKS
    if (!LauncherChecks(path)) return 1;
#endif
#ifdef ZN_PLUS_CXX
    const std::wstring checked = Checked(path);
#endif

    const wchar_t* argument = Tail(GetCommandLineW());
    const size_t pathChars = lstrlenW(path);
    const size_t argumentChars = lstrlenW(argument);
    wchar_t* command =
        (wchar_t*)HeapAlloc(GetProcessHeap(), 0, (pathChars + argumentChars + 4) * sizeof(wchar_t));
    if (command == NULL) return 1;
    wchar_t* out = command;
    *out++ = L'"';
    CopyMemory(out, path, pathChars * sizeof(wchar_t));
    out += pathChars;
    *out++ = L'"';
    *out++ = L' ';
    CopyMemory(out, argument, (argumentChars + 1) * sizeof(wchar_t));

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started;
    ZeroMemory(&started, sizeof(started));
    if (!CreateProcessW(path, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        return 1;
    CloseHandle(started.hThread);
    DWORD exitCode = 1;
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    return (int)exitCode;
}
