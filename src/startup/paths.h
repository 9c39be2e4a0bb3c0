// Path text rules of the program's own executable.
#pragma once

#include <string>
#include <string_view>

namespace zn {

// Removes the "\\?\" prefix that the system puts on a final path ("\\?\UNC\" becomes "\\").
std::wstring StripExtendedPrefix(std::wstring_view path);

struct FolderAndName {
    std::wstring_view folder; // no trailing backslash, except a drive's root ("C:\")
    std::wstring_view name;
};

// Splits a full file name at its last backslash.
FolderAndName SplitFolder(std::wstring_view fullPath);

} // namespace zn
