#include "startup/startup_host_win32.h"
#include "startup/windows_folder_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

namespace zn {
namespace {

// Wine spells it one way only; a Windows system spells it as its setting says (C:\WINDOWS,
// D:\Windows, ...), which the next test takes from the system itself.
TEST(WindowsFolderUnderWine, IsWinesOneSpellingWithNothingAfterIt)
{
    EXPECT_EQ(WindowsFolder(), L"C:\\windows"); // no NUL, blank or backslash after it
}

TEST(WindowsFolder, IsTheSystemsFolderExactlyAndTheSameEveryTime)
{
    const std::wstring first = WindowsFolder();
    // The system folder lies in it, and no separator or NUL trails it.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(::CompareStringOrdinal(system, static_cast<int>(first.size()) + 1,
                                     (first + L"\\").c_str(), -1, TRUE),
              CSTR_EQUAL)
        << system;
    EXPECT_NE(first.back(), L'\\');
    EXPECT_EQ(first.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(WindowsFolder(), first);
    const DWORD attributes = ::GetFileAttributesW(first.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// However the system spells the Windows folder, the role check compares one text with the own
// folder.
TEST(WindowsFolder, EverySpellingHasOneCanonicalForm)
{
    Win32StartupHost host;
    const std::wstring windows = WindowsFolder();
    const std::wstring canonical = host.CanonicalFolder(windows);
    ASSERT_FALSE(canonical.empty());
    EXPECT_NE(canonical.rfind(L"\\\\?\\", 0), 0u) << canonical; // no extended-length prefix
    EXPECT_NE(canonical.back(), L'\\') << canonical;

    wchar_t shortName[MAX_PATH] = {};
    ASSERT_NE(::GetShortPathNameW(windows.c_str(), shortName, MAX_PATH), 0u);
    std::wstring upper = windows, lower = windows, slashes = windows;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
    for (const std::wstring& spelling : {upper, lower, std::wstring(shortName), slashes,
                                         windows + L"\\", windows + L"\\system32\\.."})
        EXPECT_EQ(host.CanonicalFolder(spelling), canonical) << spelling;

    EXPECT_EQ(host.CanonicalFolder(windows + L"\\no such folder"), L"");
}

} // namespace
} // namespace zn
