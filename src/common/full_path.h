// Whether a path names one file wherever the program runs from.
#pragma once

#include <string_view>

namespace zn {

// True for a drive letter, a colon and a separator ("C:\Tools\ed.exe"), or a UNC path with a
// server and a share ("\\server\share\ed.exe"), also in their "\\?\" forms ("\\?\C:\...",
// "\\?\UNC\server\share\..."); "\" and "/" both separate. Everything else depends on the
// current folder or drive ("ed.exe", "..\ed.exe", "\ed.exe", "C:ed.exe") or names a device
// ("\\.\pipe\x"), and is false.
bool IsFullPath(std::wstring_view path);

} // namespace zn
