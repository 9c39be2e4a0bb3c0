// How set-up puts the program into the Windows folder: it writes the bytes of the image it runs
// from (held unchangeable since set-up started) into a new file there, then renames that file
// into place. The new file carries nothing of the downloaded one but its bytes (no Mark of the
// Web), and a rename leaves the other names of the file it replaces untouched (notepad.exe is a
// hard link into the component store), with no moment in which the target is missing.
//
// The new file's name says whose it is, so that a later run can delete what an interrupted run
// left: "~ZanvekNotepad.<unique>.tmp".
#pragma once

#include "setup/setup_host.h"

#include <string>
#include <string_view>

namespace zn {

std::wstring TemporaryFileName(std::wstring_view unique);
bool IsTemporaryFileName(std::wstring_view name);

// A new file in `folder` holding the running program; returns its path.
std::wstring WriteFreshCopy(SetupHost& files, const std::wstring& folder);

// Deletes `path`; a failure is left for a later run, which finds the file by its name.
void RemoveQuietly(SetupHost& files, const std::wstring& path) noexcept;

// Deletes what interrupted runs left in `folder`. A file that cannot go yet (an earlier copy
// still running) stays for a later run.
void RemoveLeftovers(SetupHost& files, const std::wstring& folder) noexcept;

} // namespace zn
