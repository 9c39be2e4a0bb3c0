// The launcher's command-line rules: the tail, the apostrophe rule and the launch command.
//
// The whole input, as UTF-16LE units, is one command line. Read in order, the same input also
// gives: a flag byte (bit 0: the program's name is quoted), the name, the blanks after it and
// the editor's path (each a length byte, then units), then the rest of the line (all units left).
#include "fuzz_support.h"

#include "startup/command_line.h"

#include <string>
#include <string_view>

namespace zn {
namespace {

// What the C runtime skips after the program's name.
bool IsBlank(wchar_t c)
{
    return c <= L' ';
}

std::wstring_view SkipBlanks(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

void CheckTailOfAnyLine(std::wstring_view full)
{
    const std::wstring_view tail = CommandLineTail(full);
    // A piece of the line itself, at its end, that starts a word.
    ZN_CHECK(tail.size() <= full.size());
    ZN_CHECK(tail.data() == full.data() + (full.size() - tail.size()));
    ZN_CHECK(tail.empty() || !IsBlank(tail.front()));
    const std::size_t cut = full.size() - tail.size();
    ZN_CHECK(tail.empty() || cut == 0 || IsBlank(full[cut - 1]));
}

// A line of a known program name, blanks and rest: the tail is the rest and nothing of the name.
void CheckTailAfterName(bool quoted, std::wstring_view rawName, std::wstring_view rawBlanks,
                        std::wstring_view rest)
{
    std::wstring line;
    if (quoted) line += L'"';
    for (const wchar_t c : rawName) {
        // Unquoted, a blank would end the name; a quote would change where it ends either way.
        if (c != L'"' && (quoted || !IsBlank(c))) line += c;
    }
    if (quoted) line += L'"';
    if (rawBlanks.empty()) line += L' ';
    for (const wchar_t c : rawBlanks)
        line += static_cast<wchar_t>(c % (L' ' + 1));
    line += rest;

    ZN_CHECK(CommandLineTail(line) == SkipBlanks(rest));
}

void CheckApostropheRule(std::wstring_view text)
{
    const std::wstring_view out = ApplyApostropheRule(text);
    if (!text.empty() && text.back() == L'\'') {
        // The first character and the closing apostrophe go, nothing else.
        ZN_CHECK(out.size() == (text.size() < 2 ? 0 : text.size() - 2));
        ZN_CHECK(out.empty() || out.data() == text.data() + 1);
    } else {
        ZN_CHECK(out.data() == text.data() && out.size() == text.size());
    }
}

void CheckLaunchCommand(std::wstring_view editor, std::wstring_view argument)
{
    const std::wstring command = BuildLaunchCommand(editor, argument);
    const std::wstring head = L"\"" + std::wstring(editor) + L"\" ";
    ZN_CHECK(command.size() == head.size() + argument.size());
    ZN_CHECK(command.starts_with(head));
    ZN_CHECK(command.ends_with(argument));
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    const std::wstring full = fuzz::Reader(data, size).RestText();
    CheckTailOfAnyLine(full);
    CheckApostropheRule(full);

    fuzz::Reader input(data, size);
    const bool quoted = input.Flag();
    const std::wstring name = input.Text();
    const std::wstring blanks = input.Text();
    const std::wstring editor = input.Text();
    const std::wstring rest = input.RestText();
    CheckTailAfterName(quoted, name, blanks, rest);

    // As the launcher does it: the tail, then the apostrophe rule, then the command.
    const std::wstring_view tail = CommandLineTail(full);
    CheckApostropheRule(tail);
    CheckLaunchCommand(editor, ApplyApostropheRule(tail));
    CheckLaunchCommand(editor, rest);
    return 0;
}
