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
        // A quoted name ends at its closing quote, blank or no blank after it.
        {L"\"C:\\windows\\notepad.exe\"C:\\memo.txt", L"C:\\memo.txt"},
        {L"\"C:\\Program Files\"\\notepad.exe arg", L"\\notepad.exe arg"},
        {L"C:\\\"Program Files\"\\notepad.exe arg",
         L"Files\"\\notepad.exe arg"},                                    // unquoted: a blank
        {L"\"C:\\unterminated quote arg", L""},                           // all of it is the name
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

TEST(NotepadToken, IsDroppedWhenItNamesNotepadWithOrWithoutAFolder)
{
    const struct {
        std::wstring_view tail, rest;
    } rows[] = {
        {L"C:\\WINDOWS\\system32\\NOTEPAD.EXE C:\\my folder\\my file.txt",
         L"C:\\my folder\\my file.txt"},
        {L"\"C:\\Windows\\System32\\notepad.exe\" \"C:\\a b.txt\"", L"\"C:\\a b.txt\""},
        {L"notepad 'C:\\memo.txt'", L"'C:\\memo.txt'"},
        {L"C:\\Windows\\SysWOW64\\notepad.exe /p x.txt", L"/p x.txt"},
        {L"notepad.exe", L""},
        {L"NotePad.Exe\t \tC:\\a.txt", L"C:\\a.txt"},    // every blank after it goes
        {L"\"C:\\Program Files\\notepad.exe\" a", L"a"}, // a quoted folder with a blank
        {L"C:/Windows/notepad.exe a", L"a"},             // the other separator
        {L"\"notepad\"", L""},
        // Cut as the system cuts a program's name: a quoted one ends at its closing quote.
        {L"\"notepad.exe\"file.txt", L"file.txt"},
        {L"\"C:\\Windows\\notepad\"\"C:\\a b.txt\"", L"\"C:\\a b.txt\""},
        // Compared as Win32 opens the name: trailing dots and blanks dropped.
        {L"notepad.exe. a.txt", L"a.txt"},
        {L"\"C:\\Windows\\notepad.exe . \" a.txt", L"a.txt"},
        // An unquoted name ends at the first blank, quotes or not.
        {L"C:\\\"Program Files\"\\notepad.exe a", L"C:\\\"Program Files\"\\notepad.exe a"},
        // Anything else is Notepad's own command line, kept whole.
        {L"C:\\x.txt", L"C:\\x.txt"},
        {L"notepad.txt a", L"notepad.txt a"},
        {L"notepad.exe.txt a", L"notepad.exe.txt a"},
        {L"mynotepad.exe a", L"mynotepad.exe a"},
        {L"C:\\notepad\\memo.txt", L"C:\\notepad\\memo.txt"}, // a folder of that name
        {L"\"C:\\my notepad.exe\" a", L"\"C:\\my notepad.exe\" a"},
        {L"'notepad.exe'", L"'notepad.exe'"}, // apostrophes are no quotes
        {L"", L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WithoutNotepadToken(row.tail), row.rest) << std::wstring(row.tail);
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
