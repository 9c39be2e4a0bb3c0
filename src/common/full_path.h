// Whether a path names one file wherever the program runs from.
#pragma once

#include <string>
#include <string_view>

namespace zn {

// Win32 refuses a path of this many characters or more unless it is given in its "\\?\" form.
inline constexpr std::size_t kMaxPath = 260; // MAX_PATH, with the NUL

// True for a drive letter, a colon and a separator ("C:\Tools\ed.exe"), or a UNC path with a
// server and a share ("\\server\share\ed.exe"), also in their "\\?\" forms ("\\?\C:\...",
// "\\?\UNC\server\share\..."); "\" and "/" both separate. Everything else depends on the
// current folder or drive ("ed.exe", "..\ed.exe", "\ed.exe", "C:ed.exe") or names a device
// ("\\.\pipe\x"), and is false.
bool IsFullPath(std::wstring_view path);

// The "\\?\" form of a full path ("\\?\UNC\server\share\..." for a UNC path), through which
// Win32 takes paths of kMaxPath characters or more. Win32 passes such a path to the file system
// as it stands, so this does first what it would otherwise do: "/" becomes "\", repeated
// separators become one, "." and ".." segments go (never above the drive or the share), and the
// last segment loses its trailing dots and blanks. A path already in that form is returned as it
// is; one that IsFullPath rejects, too.
std::wstring ExtendedLengthPath(std::wstring_view fullPath);

} // namespace zn
