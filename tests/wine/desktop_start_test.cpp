// The token query and the start through the desktop shell, against Wine's own token and shell.
#include "startup/desktop_start_win32.h"

#include "common/unique_handle.h"
#include "common/win32_text.h"
#include "window/drop_target_win32.h"
#include "window/fmain_win32.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace zn {
namespace {

using namespace std::chrono_literals;

// Wine runs every process as the elevated half of a split token (measured), as Windows runs a
// program started "as administrator".
TEST(ElevationUnderWine, TheTokenAnswersAsWineReportsIt)
{
    UniqueHandle token;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()));
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    ASSERT_TRUE(
        ::GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof(linked), &size));
    const UniqueHandle linkedToken(linked.LinkedToken);
    UniqueHandle noQuery; // may be duplicated, not asked
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE, noQuery.put()));

    const struct {
        const char* what;
        ElevationType type;
        ElevationType expected;
    } rows[] = {
        {"this process", ProcessElevationType(), ElevationType::Full},
        {"its token", ElevationTypeOf(token.get()), ElevationType::Full},
        {"the linked, unelevated token", ElevationTypeOf(linkedToken.get()),
         ElevationType::Limited},
        {"a token that may not be queried", ElevationTypeOf(noQuery.get()), ElevationType::Default},
        {"no token", ElevationTypeOf(nullptr), ElevationType::Default},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.type, row.expected) << row.what;
}

std::optional<DWORD> ProcessIdOf(const wchar_t* exeName, std::optional<DWORD> parent = {})
{
    const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, exeName) == 0 &&
            (!parent || entry.th32ParentProcessID == *parent))
            return entry.th32ProcessID;
    }
    return std::nullopt;
}

// A program of the system folder, wherever the system keeps it.
std::wstring SystemProgram(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length < MAX_PATH ? length : 0) + L"\\" + name;
}

// COM is this thread's again after the call: initialising it anew is a first initialisation.
void ExpectComUninitialised()
{
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK)
        << "COM was left initialised";
    ::CoUninitialize();
}

// The start through the shell needs Explorer as the desktop's shell, which a Windows host
// running the tests may not have (a service's session, another shell), and it shows a window on
// that desktop: it runs in the test prefixes, whose explorer.exe is the shell.
// Waits up to 10 s for a winver.exe that `shell` started, and ends it; fails with `missing`
// when none comes.
void EndWinverStartedBy(DWORD shell, const char* missing)
{
    std::optional<DWORD> started;
    for (auto waited = 0ms; !started && waited < 10s; waited += 50ms) {
        std::this_thread::sleep_for(50ms);
        started = ProcessIdOf(L"winver.exe", shell);
    }
    ASSERT_TRUE(started) << missing;
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *started));
    ASSERT_TRUE(process);
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
}

TEST(DesktopStartUnderWine, TheShellsProcessStartsTheProgram)
{
    const auto shell = ProcessIdOf(L"explorer.exe");
    ASSERT_TRUE(shell) << "no desktop shell in this prefix";
    ASSERT_FALSE(ProcessIdOf(L"winver.exe")) << "left over from an earlier run";

    ASSERT_TRUE(StartAsDesktopUser(SystemProgram(L"winver.exe")));
    EndWinverStartedBy(*shell, "no winver.exe started by explorer.exe");
    ExpectComUninitialised();
}

// A hung shell must not keep set-up waiting: the worker carries on by itself, with its own copy
// of everything, and may still start the program after the caller has gone on.
TEST(DesktopStartUnderWine, ALimitThatPassesGivesUpAtOnceAndTheWorkerCarriesOn)
{
    const auto shell = ProcessIdOf(L"explorer.exe");
    ASSERT_TRUE(shell) << "no desktop shell in this prefix";
    ASSERT_FALSE(ProcessIdOf(L"winver.exe")) << "left over from an earlier run";

    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(StartAsDesktopUserWithin(SystemProgram(L"winver.exe"), 0ms));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EndWinverStartedBy(*shell, "the worker did not carry the request out");
}

// Set-up waits for the registration window of the launcher it had the shell start: a window of
// that class, shown by a process of that program, started after the request.
TEST(LauncherWindow, CountsOnlyAShownWindowOfTheProgramStartedAfterTheRequest)
{
    const OleScope ole;
    Fmain window(WindowSettings{}, [](const std::wstring&) { return 0u; });
    window.Create();
    const std::wstring self = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    });
    FILETIME created{}, exited{}, kernel{}, user{};
    ASSERT_TRUE(::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user));
    const std::uint64_t start =
        (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    ASSERT_GT(SystemTimeNow(), start);

    EXPECT_FALSE(WaitForRegistrationWindowOf(self, start, 200ms)) << "not shown yet";
    window.Show();
    const struct {
        const char* why;
        std::wstring program;
        std::uint64_t startedAfter;
        bool found;
    } rows[] = {
        {"this process, started then", self, start, true},
        {"this process, started before the request", self, SystemTimeNow(), false},
        {"another program", SystemProgram(L"winver.exe"), start, false},
        {"no such program", L"C:\\no such folder\\ZanvekNotepad.exe", start, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(WaitForRegistrationWindowOf(row.program, row.startedAfter, 200ms), row.found)
            << row.why;
    }
}

// A launcher whose window was shown and closed at once (as a test may close it) has ended with
// 0 by the time it is looked at again: it counts. One that failed does not.
TEST(LauncherWindow, CountsALauncherThatEndedNormallyWhileItWasWaitedFor)
{
    const std::wstring program = SystemProgram(L"cmd.exe");
    for (const int exitCode : {0, 1}) {
        const std::uint64_t requested = SystemTimeNow();
        std::wstring command = L"cmd.exe /c exit " + std::to_wstring(exitCode);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                                     CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr,
                                     &startup, &started));
        const UniqueHandle process(started.hProcess), thread(started.hThread);
        // It ends while the wait is under way, after the wait has seen it running.
        std::thread resume([&thread] {
            std::this_thread::sleep_for(500ms);
            ::ResumeThread(thread.get());
        });
        EXPECT_EQ(WaitForRegistrationWindowOf(program, requested, 3s), exitCode == 0)
            << "exit code " << exitCode;
        resume.join();
        ::WaitForSingleObject(process.get(), 5000);
    }
}

TEST(DesktopStart, AThreadOfTheMultithreadedApartmentIsRefusedAndKeepsItsCom)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_FALSE(StartAsDesktopUser(SystemProgram(L"winver.exe")));
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "COM was uninitialised";
    ::CoUninitialize();
    ::CoUninitialize();
    ExpectComUninitialised();
}

} // namespace
} // namespace zn
