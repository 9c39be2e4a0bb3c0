#include "startup/command_line.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(CommandLineTail, FollowsTheProgramNameAndTheBlanksAfterIt)
{
    const struct {
        std::wstring_view full, tail;
    } rows[] = {
        {L"notepad.exe C:\\memo.txt", L"C:\\memo.txt"},
        {L"C:\\windows\\notepad.exe    C:\\memo.txt", L"C:\\memo.txt"}, // several blanks
        {L"notepad.exe\t \tC:\\memo.txt", L"C:\\memo.txt"},             // tabs are blanks too
        {L"\"C:\\Program Files\\x\\notepad.exe\" a b", L"a b"},         // quoted name with a space
        {L"\"C:\\Program Files\"\\notepad.exe arg", L"arg"},            // quotes inside the name
        {L"\"C:\\unterminated quote arg", L""},                         // all of it is the name
        {L"notepad.exe \"C:\\my memo.txt\"  ", L"\"C:\\my memo.txt\"  "}, // the rest stays as it is
        {L"notepad.exe 'C:\\memo.txt'", L"'C:\\memo.txt'"},
        {L"notepad.exe", L""},
        {L"notepad.exe   ", L""},
        {L"", L""},
        {L"notepad.exe a  b\tc ", L"a  b\tc "},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CommandLineTail(row.full), row.tail) << std::wstring(row.full);
}

TEST(ApostropheRule, DropsTheFirstCharacterAndTheClosingApostrophe)
{
    const struct {
        std::wstring_view tail, argument;
    } rows[] = {
        {L"'C:\\memo.txt'", L"C:\\memo.txt"},
        {L"\"C:\\memo.txt\"", L"\"C:\\memo.txt\""}, // double quotes are left alone
        {L"C:\\memo.txt", L"C:\\memo.txt"},
        {L"x'", L""},
        {L"'", L""}, // a lone apostrophe gives the empty text, not an error
        {L"''", L""},
        {L"ab'", L"b"}, // the first character goes whatever it is
        {L"'it's'", L"it's"},
        {L"'C:\\memo.txt", L"'C:\\memo.txt"}, // no closing apostrophe: unchanged
        {L"", L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ApplyApostropheRule(row.tail), row.argument) << std::wstring(row.tail);
}

TEST(LaunchCommand, QuotesTheEditorPathAndPassesTheArgumentAsItIs)
{
    EXPECT_EQ(BuildLaunchCommand(L"C:\\Program Files\\Ed\\ed.exe", L"C:\\memo.txt"),
              L"\"C:\\Program Files\\Ed\\ed.exe\" C:\\memo.txt");
    EXPECT_EQ(BuildLaunchCommand(L"C:\\ed.exe", L"\"C:\\my memo.txt\""),
              L"\"C:\\ed.exe\" \"C:\\my memo.txt\"");
    EXPECT_EQ(BuildLaunchCommand(L"C:\\ed.exe", L""), L"\"C:\\ed.exe\" "); // one trailing space
}

} // namespace
} // namespace zn
