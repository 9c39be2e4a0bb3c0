#include "startup/command_line.h"

#include "common/full_path.h"

namespace zn {
namespace {

bool IsBlank(wchar_t c)
{
    return c <= L' ';
}

} // namespace

std::wstring_view ProgramToken(std::wstring_view line)
{
    if (!line.empty() && line.front() == L'"') {
        const std::size_t closing = line.find(L'"', 1);
        return closing == std::wstring_view::npos ? line : line.substr(0, closing + 1);
    }
    std::size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    return line.substr(0, end);
}

std::wstring_view CommandLineTail(std::wstring_view full)
{
    std::size_t i = ProgramToken(full).size();
    while (i < full.size() && IsBlank(full[i]))
        ++i;
    return full.substr(i);
}

std::wstring_view WithoutNotepadToken(std::wstring_view tail)
{
    std::wstring token;
    for (const wchar_t c : ProgramToken(tail)) {
        if (c != L'"') token += c;
    }
    return NamesNotepad(token) ? CommandLineTail(tail) : tail;
}

std::wstring_view ApplyApostropheRule(std::wstring_view tail)
{
    if (tail.empty() || tail.back() != L'\'') return tail;
    return tail.size() < 2 ? std::wstring_view() : tail.substr(1, tail.size() - 2);
}

bool MayBeOneDocument(std::wstring_view argument)
{
    return argument.find(L'"') == std::wstring_view::npos &&
           argument.find_first_of(L" \t") != std::wstring_view::npos && argument.back() != L'\\' &&
           IsFullPath(argument);
}

std::wstring Quoted(std::wstring_view argument)
{
    std::wstring quoted;
    quoted.reserve(argument.size() + 2);
    quoted += L'"';
    quoted += argument;
    quoted += L'"';
    return quoted;
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
