#include "startup/windows_folder_win32.h"

#include "common/under_wine.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(WindowsFolder, IsTheSystemsFolderExactlyAndTheSameEveryTime)
{
    const std::wstring first = WindowsFolder();
    if (RunningUnderWine()) {
        EXPECT_EQ(first, L"C:\\windows"); // as Wine reports it: no NUL, blank or backslash after it
    }
    // Everywhere: the system folder lies in it, and no separator or NUL trails it.
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

} // namespace
} // namespace zn
