#include "startup/command_line.h"

namespace zn {

std::wstring_view CommandLineTail(std::wstring_view full)
{
    std::size_t i = 0;
    bool quoted = false;
    for (; i < full.size() && (full[i] > L' ' || quoted); ++i) {
        if (full[i] == L'"') quoted = !quoted;
    }
    while (i < full.size() && full[i] <= L' ')
        ++i;
    return full.substr(i);
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
