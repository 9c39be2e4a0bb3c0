#include "common/editor_check.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

// Explorer's "Copy as path" puts a path in double quotes; a pasted one is no "not a full path".
TEST(EditorCheck, OnePairOfQuotesAroundTheWholeTextIsRemoved)
{
    const struct {
        std::wstring_view text, unquoted;
    } rows[] = {
        {L"\"C:\\Program Files\\Ed\\ed.exe\"", L"C:\\Program Files\\Ed\\ed.exe"},
        {L"C:\\Tools\\ed.exe", L"C:\\Tools\\ed.exe"},
        {L"\"\"", L""},
        {L"\"C:\\ed.exe", L"\"C:\\ed.exe"},                               // one side only
        {L"C:\\ed.exe\"", L"C:\\ed.exe\""},                               // one side only
        {L"\"C:\\a.exe\" \"C:\\b.exe\"", L"\"C:\\a.exe\" \"C:\\b.exe\""}, // two quoted names
        {L"\"\"C:\\ed.exe\"\"", L"\"\"C:\\ed.exe\"\""}, // only one pair goes, or none
        {L"\"", L"\""},
        {L"", L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Unquoted(row.text), row.unquoted) << std::wstring(row.text);
}

// Wine has no app execution alias: the system's answers for one, as Windows gives them.
TEST(EditorCheck, APathThatCannotBeOpenedIsToldByTheSystemsAnswers)
{
    constexpr std::uint32_t kFile = 0x20, kSymlink = 0xA000000C;
    using enum EditorProbe;
    const struct {
        const char* why;
        UnopenedPath answers;
        std::optional<EditorProbe> probe; // none: a file that cannot be read, reported
    } rows[] = {
        {"nothing there", {2, std::nullopt, std::nullopt}, NoSuchFile},
        {"a folder on the way missing", {3, std::nullopt, std::nullopt}, NoSuchFile},
        {"a folder", {5, kAttributeDirectory, std::nullopt}, Folder},
        {"a file others write", {32, kFile, std::nullopt}, std::nullopt},
        {"an app execution alias", {1920, std::nullopt, kReparseTagAppExecLink}, AppAlias},
        {"another reparse point that cannot be read", {1920, std::nullopt, kSymlink}, std::nullopt},
        {"error 1920 without a reparse point", {1920, std::nullopt, std::nullopt}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ProbeOfUnopened(row.answers), row.probe) << row.why;
}

} // namespace
} // namespace zn
