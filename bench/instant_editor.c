/* A stand-in editor for the launch benchmark: it ends at once with exit code 42, so that a run
 * that reached it can be told from one that did not.
 *
 * With ZN_BENCH_PARENT_REPORT=<file> set (the launcher passes its environment on), it first
 * writes to that file, in UTF-8, facts about the process that started it, which is waiting for
 * it at that moment:
 *   parent <pid>
 *   peak_working_set <bytes>
 *   working_set <bytes>
 *   private <bytes>
 *   spawn_us <microseconds from the parent's creation to this process's creation>
 *   module <base name>      (one line per module loaded in the parent)
 * Only kernel32 and the C library are used: its own start costs the same in every case. */
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <stdio.h>

#define EXIT_CODE 42
#define MAX_MODULES 512

static DWORD ParentId(void)
{
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

static unsigned long long CreationTime(HANDLE process)
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return 0;
    return (unsigned long long)creation.dwHighDateTime << 32 | creation.dwLowDateTime;
}

static void WriteUtf8(FILE* out, const wchar_t* text)
{
    char bytes[MAX_PATH * 4];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), NULL, NULL);
    if (n > 0) fputs(bytes, out);
}

static void ReportParent(const wchar_t* file)
{
    FILE* out = _wfopen(file, L"w");
    if (out == NULL) return;
    const DWORD parentId = ParentId();
    fprintf(out, "parent %lu\n", (unsigned long)parentId);
    const HANDLE parent = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, parentId);
    if (parent != NULL) {
        PROCESS_MEMORY_COUNTERS_EX memory;
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(parent, (PROCESS_MEMORY_COUNTERS*)&memory, sizeof(memory))) {
            fprintf(out, "peak_working_set %llu\n", (unsigned long long)memory.PeakWorkingSetSize);
            fprintf(out, "working_set %llu\n", (unsigned long long)memory.WorkingSetSize);
            fprintf(out, "private %llu\n", (unsigned long long)memory.PrivateUsage);
        }
        /* The parent's start to its CreateProcessW call (which creates this process): what
         * the launcher does before starting the editor, without the shell's share. */
        const unsigned long long parentCreated = CreationTime(parent),
                                 selfCreated = CreationTime(GetCurrentProcess());
        if (parentCreated != 0 && selfCreated >= parentCreated)
            fprintf(out, "spawn_us %llu\n", (selfCreated - parentCreated) / 10);
        static HMODULE modules[MAX_MODULES];
        DWORD needed = 0;
        if (EnumProcessModules(parent, modules, sizeof(modules), &needed)) {
            const DWORD count =
                needed / sizeof(HMODULE) < MAX_MODULES ? needed / sizeof(HMODULE) : MAX_MODULES;
            for (DWORD i = 0; i < count; ++i) {
                wchar_t name[MAX_PATH];
                if (GetModuleBaseNameW(parent, modules[i], name, MAX_PATH) == 0) continue;
                fputs("module ", out);
                WriteUtf8(out, name);
                fputs("\n", out);
            }
        }
        CloseHandle(parent);
    }
    fclose(out);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR unused, int show)
{
    (void)instance;
    (void)previous;
    (void)unused;
    (void)show;
    wchar_t file[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"ZN_BENCH_PARENT_REPORT", file, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) ReportParent(file);
    return EXIT_CODE;
}
