#include "startup/command_line.h"

namespace zn {
namespace {

bool IsBlank(wchar_t c)
{
    return c <= L' ';
}

// The first token of a command line: up to the first blank outside double quotes.
std::wstring_view FirstToken(std::wstring_view line)
{
    std::size_t i = 0;
    bool quoted = false;
    for (; i < line.size() && (!IsBlank(line[i]) || quoted); ++i) {
        if (line[i] == L'"') quoted = !quoted;
    }
    return line.substr(0, i);
}

// Letter case ignored for ASCII letters only: "notepad.exe" has no other, and no other
// character folds to one of its letters.
bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view lowerCase)
{
    if (text.size() != lowerCase.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i] >= L'A' && text[i] <= L'Z'
                              ? static_cast<wchar_t>(text[i] - L'A' + L'a')
                              : text[i];
        if (c != lowerCase[i]) return false;
    }
    return true;
}

} // namespace

std::wstring_view CommandLineTail(std::wstring_view full)
{
    std::size_t i = FirstToken(full).size();
    while (i < full.size() && IsBlank(full[i]))
        ++i;
    return full.substr(i);
}

std::wstring_view FileNamePart(std::wstring_view path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

bool IsNotepadExe(std::wstring_view fileName)
{
    return EqualsIgnoringCase(fileName, L"notepad.exe");
}

std::wstring_view WithoutNotepadToken(std::wstring_view tail)
{
    std::wstring token;
    for (const wchar_t c : FirstToken(tail)) {
        if (c != L'"') token += c;
    }
    const std::wstring_view name = FileNamePart(token);
    if (!IsNotepadExe(name) && !EqualsIgnoringCase(name, L"notepad")) return tail;
    return CommandLineTail(tail);
}

std::wstring_view ApplyApostropheRule(std::wstring_view tail)
{
    if (tail.empty() || tail.back() != L'\'') return tail;
    return tail.size() < 2 ? std::wstring_view() : tail.substr(1, tail.size() - 2);
}

std::wstring BuildLaunchCommand(std::wstring_view editorPath, std::wstring_view argument)
{
    std::wstring command;
    command.reserve(editorPath.size() + argument.size() + 3);
    command += L'"';
    command += editorPath;
    command += L"\" ";
    command += argument;
    return command;
}

} // namespace zn
