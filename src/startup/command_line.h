// The launcher's text rules: the command-line tail, the token the system puts before Notepad's
// command line when it redirects a start, the apostrophe rule, the quotes around a document's
// path, and the command that starts the editor.
#pragma once

#include "common/file_names.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zn {

// The most characters a process's command line may have, its NUL included. Windows refuses a
// longer one; Wine cuts it silently.
inline constexpr std::size_t kCommandLineLimit = 32767;

// The program's name at the start of a command line, as CreateProcessW and the C runtime read
// argv[0]: a name that starts with a double quote ends at the next one (even with no blank
// after it), any other at the first character up to U+0020. Quotes included.
std::wstring_view ProgramToken(std::wstring_view commandLine);

// What follows the program's name (ProgramToken) and every character up to U+0020 after it, as
// the C runtime cuts it for wWinMain. The rest is returned unchanged.
std::wstring_view CommandLineTail(std::wstring_view fullCommandLine);

// A start of notepad.exe that the system redirected to this program gives it the started
// program's own token before Notepad's command line. When the first token of `tail` (cut as
// ProgramToken cuts it), with its double quotes removed, names a file called notepad.exe or
// notepad as Win32 opens it (any letter case, with or without a folder, trailing dots and blanks
// dropped), returns what follows it and the blanks after it; otherwise returns `tail` as it is.
std::wstring_view WithoutNotepadToken(std::wstring_view tail);

// When the last character is an apostrophe (U+0027), drops it and the first character,
// whatever that is; a lone apostrophe gives the empty text. Otherwise returns `tail` as it is.
std::wstring_view ApplyApostropheRule(std::wstring_view tail);

// Notepad takes its whole command line as one file name, while the editor would split an
// unquoted one at its blanks. True when `argument` may be such a name and is worth asking the
// file system about: it has no double quote, has a blank or a tab, does not end in a backslash
// (in "...\" a closing quote would be taken as a literal one), and is a full path. The launcher
// then quotes it when it names an existing file, or a file not yet there in an existing folder.
bool MayBeOneDocument(std::wstring_view argument);

// `argument` in double quotes.
std::wstring Quoted(std::wstring_view argument);

// The command line the editor is started with: its path in double quotes, one space, then
// `argument` exactly as it is (so the editor sees its path as one argument even with spaces).
std::wstring BuildLaunchCommand(std::wstring_view editorPath, std::wstring_view argument);

} // namespace zn
