// Whether a path may be registered and started as the editor: the launcher's checks, shared
// with the registration window so that both judge a path by the same code.
//
// Use:
//   1. JudgeEditorPath(path, redirected): the checks of the text alone. The launcher stops here
//      on anything but Ok, before it opens a file.
//   2. ProbeEditor(path) (editor_probe_win32.h): what the file system says of the path.
//   3. JudgeEditor(path, file, redirected): every check, the text's first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// What is at an editor's path.
enum class EditorProbe {
    NoSuchFile, // nothing there, or nothing that can be told apart from nothing
    Folder,
    // An app execution alias (%LOCALAPPDATA%\Microsoft\WindowsApps\<name>.exe): a reparse
    // point that CreateProcessW starts but that cannot be opened, read or held as a file.
    AppAlias,
    File,
};

struct EditorFile {
    EditorProbe probe = EditorProbe::NoSuchFile;
    std::vector<std::uint8_t> head;        // a File's first bytes, at most kProgramHeadBytes
    std::vector<std::uint8_t> versionInfo; // a program image's VS_VERSIONINFO; empty if none
};

// The answer to "may this path be the editor?", with the reason when it may not.
enum class EditorVerdict {
    Ok,
    NotFullPath,   // would be looked up from whatever folder the launcher was started in
    LoopsBack,     // a notepad.exe where the system redirects every notepad.exe to the launcher
    NoSuchFile,    // nothing at the path
    Folder,        // a folder, not a file
    ThisProgram,   // a copy of this program, of any version, wherever it is and however named
    CommandScript, // a .bat or .cmd file, which CreateProcessW hands to the command interpreter
    NotAProgram,   // not a Windows program image (a text, a DLL, an empty file)
};

// The checks of the path's text: a full path (IsFullPath), and, where the installation is the
// redirection (`redirected`), no file named notepad.exe (as Win32 opens it). Ok, NotFullPath or
// LoopsBack.
EditorVerdict JudgeEditorPath(std::wstring_view path, bool redirected);

// Every check, in this order: JudgeEditorPath, then what `file` (ProbeEditor's answer for
// `path`) shows: nothing there, a folder, this program (NamesThisProgram of its version
// resource), a .bat or .cmd name, an app execution alias (Ok: a program that cannot be read),
// then a file that is no program image (IsProgramImage of its head).
EditorVerdict JudgeEditor(std::wstring_view path, const EditorFile& file, bool redirected);

// The text without one pair of double quotes around the whole of it, as Explorer's "Copy as
// path" writes a path; any other text (quotes inside, or only on one side) as it is.
std::wstring_view Unquoted(std::wstring_view text);

// The system's answers about a path that CreateFileW could not open for reading.
struct UnopenedPath {
    std::uint32_t openError = 0;             // GetLastError() of that open
    std::optional<std::uint32_t> attributes; // GetFileAttributesW's answer; none if it failed
    // For ERROR_CANT_ACCESS_FILE: the reparse tag that opening the reparse point itself
    // (FILE_FLAG_OPEN_REPARSE_POINT) and FileAttributeTagInfo gave; none if that failed.
    std::optional<std::uint32_t> reparseTag;
};

inline constexpr std::uint32_t kErrorCantAccessFile = 1920;         // ERROR_CANT_ACCESS_FILE
inline constexpr std::uint32_t kReparseTagAppExecLink = 0x8000001B; // IO_REPARSE_TAG_APPEXECLINK
inline constexpr std::uint32_t kAttributeDirectory = 0x10;          // FILE_ATTRIBUTE_DIRECTORY

// What such a path is: an app execution alias (error 1920, then the alias's reparse tag),
// nothing (no attributes either), a folder; nullopt for a file that exists but cannot be read,
// which the caller reports with the open's error.
std::optional<EditorProbe> ProbeOfUnopened(const UnopenedPath& answers);

} // namespace zn
