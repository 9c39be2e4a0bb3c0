// The token query and the start through the desktop shell, against Wine's own token and shell.
#include "startup/desktop_start_win32.h"

#include "common/unique_handle.h"

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
TEST(Elevation, TheTokenAnswersAsWineReportsIt)
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

// COM is this thread's again after the call: initialising it anew is a first initialisation.
void ExpectComUninitialised()
{
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK)
        << "COM was left initialised";
    ::CoUninitialize();
}

TEST(DesktopStart, TheShellsProcessStartsTheProgram)
{
    const auto shell = ProcessIdOf(L"explorer.exe");
    ASSERT_TRUE(shell) << "no desktop shell in this prefix";
    ASSERT_FALSE(ProcessIdOf(L"winver.exe")) << "left over from an earlier run";

    ASSERT_TRUE(StartAsDesktopUser(L"C:\\windows\\system32\\winver.exe"));
    std::optional<DWORD> started;
    for (auto waited = 0ms; !started && waited < 10s; waited += 50ms) {
        std::this_thread::sleep_for(50ms);
        started = ProcessIdOf(L"winver.exe", shell);
    }
    ASSERT_TRUE(started) << "no winver.exe started by explorer.exe";
    const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *started));
    ASSERT_TRUE(process);
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
    ExpectComUninitialised();
}

TEST(DesktopStart, AThreadOfTheMultithreadedApartmentIsRefusedAndKeepsItsCom)
{
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_FALSE(StartAsDesktopUser(L"C:\\windows\\system32\\winver.exe"));
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "COM was uninitialised";
    ::CoUninitialize();
    ::CoUninitialize();
    ExpectComUninitialised();
}

} // namespace
} // namespace zn
