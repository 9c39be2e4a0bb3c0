// The launcher's text rules: the command-line tail, the apostrophe rule and the command that
// starts the editor.
#pragma once

#include <string>
#include <string_view>

namespace zn {

// What follows the program's name and the blanks after it in a full command line, cut as the
// C runtime cuts it for wWinMain: the name runs to the first blank outside double quotes, and
// every character up to U+0020 after it is skipped. The rest is returned unchanged.
std::wstring_view CommandLineTail(std::wstring_view fullCommandLine);

// When the last character is an apostrophe (U+0027), drops it and the first character,
// whatever that is; a lone apostrophe gives the empty text. Otherwise returns `tail` as it is.
std::wstring_view ApplyApostropheRule(std::wstring_view tail);

// The command line the editor is started with: its path in double quotes, one space, then
// `argument` exactly as it is (so the editor sees its path as one argument even with spaces).
std::wstring BuildLaunchCommand(std::wstring_view editorPath, std::wstring_view argument);

} // namespace zn
