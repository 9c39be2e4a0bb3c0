// The one look at an editor's path on the system, for the launcher and the registration window
// alike (editor_check.h says what is then made of it).
#pragma once

#include "common/editor_check.h"
#include "common/unique_handle.h"

#include <string>

namespace zn {

// Opens the file at `path` (through its "\\?\" form when it is kMaxPath characters or more)
// and tells what is there: nothing, a folder, an app execution alias, or a file with its first
// bytes and, for a program image, its version resource, read with a few bounded reads and
// never whole. Others may only read the file while it is open; when `held` is given, a File
// stays open in it, so that what was checked is what starts. Throws AppError naming the path
// for something there that cannot be read.
EditorFile ProbeEditor(const std::wstring& path, UniqueFile* held = nullptr);

// The path to hand to Win32 for `path`: its "\\?\" form when it is kMaxPath characters or more,
// else `path` itself.
std::wstring Win32PathOf(const std::wstring& path);

} // namespace zn
