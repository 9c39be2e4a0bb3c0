#include "startup/windows_folder_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(WindowsFolder, IsTheSystemsFolderExactlyAndTheSameEveryTime)
{
    const std::wstring first = WindowsFolder();
    EXPECT_EQ(first,
              L"C:\\windows"); // as this Wine reports it: no NUL, blank or backslash after it
    EXPECT_EQ(WindowsFolder(), first);
    const DWORD attributes = ::GetFileAttributesW(first.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

} // namespace
} // namespace zn
