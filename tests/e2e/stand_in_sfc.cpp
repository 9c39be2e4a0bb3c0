// A stand-in for the system's sfc.dll, for test prefixes that play a Windows whose Resource
// Protection guards the Windows folder's notepad.exe (Wine's sfc.dll guards nothing). Only
// that one file is protected, in any letter case; every other answer is Wine's: FALSE.
#include <windows.h>

extern "C" BOOL WINAPI SfcIsFileProtected(HANDLE rpcHandle, LPCWSTR path)
{
    wchar_t notepad[MAX_PATH + 16];
    const UINT length = ::GetWindowsDirectoryW(notepad, MAX_PATH);
    if (rpcHandle == nullptr && path != nullptr && length != 0 && length < MAX_PATH) {
        ::lstrcpyW(notepad + length, L"\\notepad.exe");
        if (::CompareStringOrdinal(path, -1, notepad, -1, TRUE) == CSTR_EQUAL) return TRUE;
    }
    ::SetLastError(ERROR_FILE_NOT_FOUND); // what the system says of a file it does not guard
    return FALSE;
}
