/* Measures how long the installed program takes, started with no argument, to show its
 * registration window ready for a drop: from CreateProcessW until the top-level window of its
 * class is visible and its text box (control id 101) carries the property OLE sets when a drop
 * target is registered. Then closes the window as a user would and checks the exit code.
 *
 *   window_probe.exe <program> <rounds> <result file>
 *
 * Writes one line per round to the result file: "<ms to visible> <ms to ready> <exit code>".
 * Exit code 0 when every round saw the window ready and the program ended with 0. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#define WINDOW_CLASS L"ZanvekNotepadRegistration"
#define TEXT_BOX_ID 101
#define DROP_TARGET_PROPERTY L"OleDropTargetInterface"
#define GIVE_UP_MS 20000

static double Ms(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static HWND WindowOf(DWORD processId)
{
    for (HWND window = FindWindowExW(NULL, NULL, WINDOW_CLASS, NULL); window != NULL;
         window = FindWindowExW(NULL, window, WINDOW_CLASS, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return NULL;
}

/* One round; returns the program's exit code, or -1 when the window never became ready. */
static int Round(const wchar_t* program, FILE* out, LARGE_INTEGER frequency)
{
    wchar_t command[MAX_PATH * 2 + 4];
    _snwprintf(command, sizeof(command) / sizeof(command[0]) - 1, L"\"%ls\"", program);
    command[sizeof(command) / sizeof(command[0]) - 1] = 0;
    STARTUPINFOW startup = {0};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {0};

    LARGE_INTEGER start, now, visibleAt = {0};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started))
        return -1;
    CloseHandle(started.hThread);

    HWND window = NULL;
    int ready = 0;
    for (;;) {
        /* Sleeping between looks leaves the second core to the program being measured. */
        Sleep(1);
        QueryPerformanceCounter(&now);
        if (Ms(start, now, frequency) > GIVE_UP_MS) break;
        if (WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0) break;
        if (window == NULL) window = WindowOf(started.dwProcessId);
        if (window == NULL || !IsWindowVisible(window)) continue;
        if (visibleAt.QuadPart == 0) visibleAt = now;
        const HWND textBox = GetDlgItem(window, TEXT_BOX_ID);
        if (textBox != NULL && GetPropW(textBox, DROP_TARGET_PROPERTY) != NULL) {
            ready = 1;
            break;
        }
    }

    DWORD exitCode = (DWORD)-1;
    if (window != NULL) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(started.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 99);
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    if (!ready) return -1;
    fprintf(out, "%.3f %.3f %lu\n", Ms(start, visibleAt, frequency), Ms(start, now, frequency),
            (unsigned long)exitCode);
    return (int)exitCode;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) return 2;
    const int rounds = _wtoi(argv[2]);
    FILE* out = _wfopen(argv[3], L"w");
    if (out == NULL || rounds <= 0) return 2;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    int failed = 0;
    for (int i = 0; i < rounds; ++i) {
        if (Round(argv[1], out, frequency) != 0) failed = 1;
        fflush(out);
        /* The ended process's clean-up in the wineserver stays out of the next round. */
        Sleep(100);
    }
    fclose(out);
    return failed;
}
