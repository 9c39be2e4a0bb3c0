// What Win32 makes of the file name at the end of a path, without asking the file system.
#pragma once

#include <string_view>

namespace zn {

// The file name the system sees in a path: what follows its last "\", "/" or ":" (the whole
// text when there is none).
std::wstring_view FileNamePart(std::wstring_view path);

// A file name as Win32 opens it: trailing dots and blanks dropped, so that "ed.bat. " opens
// ed.bat.
std::wstring_view AsOpened(std::wstring_view fileName);

// True when `fileName` is notepad.exe in any letter case.
bool IsNotepadExe(std::wstring_view fileName);

// True when `path` names, as Win32 opens it, a file called notepad or notepad.exe in any letter
// case: the program the system starts for either.
bool NamesNotepad(std::wstring_view path);

// True when the file `path` names, as Win32 opens it, ends in .bat or .cmd in any letter case:
// CreateProcessW hands such a file to the command interpreter, whatever its bytes.
bool IsCommandScriptName(std::wstring_view path);

} // namespace zn
