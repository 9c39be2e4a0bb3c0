#include "startup/paths.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(Paths, FinalPathPrefixIsRemoved)
{
    EXPECT_EQ(StripExtendedPrefix(L"\\\\?\\C:\\windows\\notepad.exe"), L"C:\\windows\\notepad.exe");
    EXPECT_EQ(StripExtendedPrefix(L"\\\\?\\UNC\\server\\share\\x.exe"),
              L"\\\\server\\share\\x.exe");
    EXPECT_EQ(StripExtendedPrefix(L"C:\\x.exe"), L"C:\\x.exe");
}

TEST(Paths, FolderHasNoTrailingBackslashExceptAtADrivesRoot)
{
    const struct {
        std::wstring_view full, folder, name;
    } rows[] = {
        {L"C:\\windows\\notepad.exe", L"C:\\windows", L"notepad.exe"},
        {L"C:\\ZanvekNotepad.exe", L"C:\\", L"ZanvekNotepad.exe"},
        {L"\\\\server\\share\\x.exe", L"\\\\server\\share", L"x.exe"},
        {L"x.exe", L"", L"x.exe"},
    };
    for (const auto& row : rows) {
        const FolderAndName parts = SplitFolder(row.full);
        EXPECT_EQ(parts.folder, row.folder) << std::wstring(row.full);
        EXPECT_EQ(parts.name, row.name) << std::wstring(row.full);
    }
}

} // namespace
} // namespace zn
