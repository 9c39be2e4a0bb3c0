// The launcher's command-line rules: the tail, the Notepad token the redirect copy drops, the
// apostrophe rule and the launch command.
//
// The whole input, as UTF-16LE units, is one command line. Read in order, the same input also
// gives: a flag byte (bit 0: the program's name is quoted; bits 1-5: how the Notepad token is
// spelled, see CheckNotepadToken), the name, the blanks after it and the editor's path (each a
// length byte, then units), then the rest of the line (all units left).
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

// Where argv[0] ends as CreateProcessW and the C runtime read it: a quoted name at its closing
// quote, whatever follows; any other at its first blank.
std::size_t ProgramNameEnd(std::wstring_view line)
{
    if (!line.empty() && line[0] == L'"') {
        const std::size_t closing = line.find(L'"', 1);
        return closing == std::wstring_view::npos ? line.size() : closing + 1;
    }
    std::size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    return end;
}

void CheckTailOfAnyLine(std::wstring_view full)
{
    const std::wstring_view tail = CommandLineTail(full);
    // A piece of the line itself, at its end, that starts a word.
    ZN_CHECK(tail.size() <= full.size());
    ZN_CHECK(tail.data() == full.data() + (full.size() - tail.size()));
    ZN_CHECK(tail.empty() || !IsBlank(tail.front()));
    // Nothing but blanks lies between the program's name and the tail: a quoted name needs no
    // blank after it.
    const std::size_t cut = full.size() - tail.size();
    const std::size_t nameEnd = ProgramNameEnd(full);
    ZN_CHECK(cut >= nameEnd);
    for (std::size_t i = nameEnd; i < cut; ++i)
        ZN_CHECK(IsBlank(full[i]));
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
    // A quoted name ends at its closing quote, with or without a blank after it.
    if (rawBlanks.empty() && !quoted) line += L' ';
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

// The editor sees its path as its first argument and the argument as the rest of its command
// line, whatever either holds (a file name holds no double quote).
void CheckLaunchCommand(std::wstring_view editor, std::wstring_view argument)
{
    if (editor.find(L'"') != std::wstring_view::npos) return;
    const std::wstring command = BuildLaunchCommand(editor, argument);
    const std::wstring_view rest = CommandLineTail(command);
    ZN_CHECK(rest == SkipBlanks(argument));
    std::wstring first(std::wstring_view(command).substr(0, command.size() - rest.size()));
    while (!first.empty() && IsBlank(first.back()))
        first.pop_back();
    std::erase(first, L'"');
    ZN_CHECK(first == editor);
}

// A token naming notepad or notepad.exe as Win32 opens a file name: any letter case, with or
// without a folder, trailing dots and blanks dropped.
bool NamesNotepad(std::wstring_view token)
{
    std::wstring name;
    for (const wchar_t c : token) {
        if (c == L'\\' || c == L'/' || c == L':')
            name.clear();
        else if (c != L'"')
            name += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    }
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    return name == L"notepad" || name == L"notepad.exe";
}

// Any text: at most the first token and the blanks after it go, and only a Notepad token.
void CheckNotepadTokenOfAnyText(std::wstring_view tail)
{
    const std::wstring_view rest = WithoutNotepadToken(tail);
    ZN_CHECK(rest.size() <= tail.size());
    ZN_CHECK(rest.data() == tail.data() + (tail.size() - rest.size()));
    if (rest.size() == tail.size()) return;
    // What went is exactly what the tail rule cuts off as a program's name, and names Notepad.
    ZN_CHECK(rest == CommandLineTail(tail));
    std::wstring_view token = tail.substr(0, tail.size() - rest.size());
    while (!token.empty() && IsBlank(token.back()))
        token.remove_suffix(1);
    ZN_CHECK(NamesNotepad(token));
}

// A token built around "notepad" or "notepad.exe" (in the input's letter case, maybe in a
// folder, maybe quoted, maybe with another name instead, maybe with trailing dots, and blanks
// inside quotes, which Win32 drops from a file name) in front of the rest of a line; a quoted
// token maybe with no blank after it.
void CheckNotepadToken(std::uint8_t spelling, std::wstring_view rawFolder,
                       std::wstring_view rawBlanks, std::wstring_view rest)
{
    const bool quoted = (spelling & 2) != 0, withExe = (spelling & 4) != 0,
               otherName = (spelling & 8) != 0, trailing = (spelling & 16) != 0,
               closeUp = quoted && (spelling & 32) != 0;
    std::wstring token;
    if (quoted) token += L'"';
    for (const wchar_t c : rawFolder) {
        // Unquoted, a blank would end the token; a quote would change where it ends either way.
        if (c != L'"' && (quoted || !IsBlank(c))) token += c;
    }
    if (!token.empty() && token != L"\"") token += L'\\';
    std::wstring name = otherName ? L"notepad_.exe" : withExe ? L"notepad.exe" : L"notepad";
    for (std::size_t i = 0; i < name.size() && i < rawFolder.size(); ++i) {
        if ((rawFolder[i] & 1) != 0 && name[i] >= L'a' && name[i] <= L'z') name[i] -= 32;
    }
    if (trailing) name += quoted ? L". ." : L"..";
    token += name;
    if (quoted) token += L'"';
    std::wstring line = token;
    if (!closeUp) line += L' ';
    for (const wchar_t c : rawBlanks)
        line += static_cast<wchar_t>(c % (L' ' + 1));
    line += rest;

    ZN_CHECK(WithoutNotepadToken(line) == (otherName ? std::wstring_view(line) : SkipBlanks(rest)));
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    const std::wstring full = fuzz::Reader(data, size).RestText();
    CheckTailOfAnyLine(full);
    CheckApostropheRule(full);

    CheckNotepadTokenOfAnyText(full);

    fuzz::Reader input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::wstring name = input.Text();
    const std::wstring blanks = input.Text();
    const std::wstring editor = input.Text();
    const std::wstring rest = input.RestText();
    CheckTailAfterName((flags & 1) != 0, name, blanks, rest);
    CheckNotepadToken(flags, name, blanks, rest);

    // As the launcher does it: the tail, the redirect copy's token, the apostrophe rule, then
    // the command.
    const std::wstring_view tail = CommandLineTail(full);
    CheckNotepadTokenOfAnyText(tail);
    const std::wstring_view notepads = WithoutNotepadToken(tail);
    CheckApostropheRule(notepads);
    CheckLaunchCommand(editor, ApplyApostropheRule(notepads));
    CheckLaunchCommand(editor, rest);
    return 0;
}
