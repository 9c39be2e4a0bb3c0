// The launcher's text rules: the command-line tail, the token the system puts before Notepad's
// command line when it redirects a start, the apostrophe rule, and the command that starts the
// editor.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zn {

// The most characters a process's command line may have, its NUL included. Windows refuses a
// longer one; Wine cuts it silently.
inline constexpr std::size_t kCommandLineLimit = 32767;

// What follows the program's name and the blanks after it in a full command line, cut as the
// C runtime cuts it for wWinMain: the name runs to the first blank outside double quotes, and
// every character up to U+0020 after it is skipped. The rest is returned unchanged.
std::wstring_view CommandLineTail(std::wstring_view fullCommandLine);

// The file name the system sees in a path: what follows its last "\", "/" or ":" (the whole
// text when there is none).
std::wstring_view FileNamePart(std::wstring_view path);

// True when `fileName` is notepad.exe in any letter case.
bool IsNotepadExe(std::wstring_view fileName);

// A start of notepad.exe that the system redirected to this program gives it the started
// program's own token before Notepad's command line. When the first token of `tail` (cut as
// CommandLineTail cuts the program's name) names, with its double quotes removed, a file called
// notepad.exe or notepad in any letter case, with or without a folder, returns what follows it
// and the blanks after it; otherwise returns `tail` as it is.
std::wstring_view WithoutNotepadToken(std::wstring_view tail);

// When the last character is an apostrophe (U+0027), drops it and the first character,
// whatever that is; a lone apostrophe gives the empty text. Otherwise returns `tail` as it is.
std::wstring_view ApplyApostropheRule(std::wstring_view tail);

// The command line the editor is started with: its path in double quotes, one space, then
// `argument` exactly as it is (so the editor sees its path as one argument even with spaces).
std::wstring BuildLaunchCommand(std::wstring_view editorPath, std::wstring_view argument);

} // namespace zn
