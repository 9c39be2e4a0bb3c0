#include "startup/paths.h"

namespace zn {

std::wstring StripExtendedPrefix(std::wstring_view path)
{
    constexpr std::wstring_view kPrefix = L"\\\\?\\";
    constexpr std::wstring_view kUncPrefix = L"\\\\?\\UNC\\";
    if (path.starts_with(kUncPrefix)) return L"\\\\" + std::wstring(path.substr(kUncPrefix.size()));
    if (path.starts_with(kPrefix)) return std::wstring(path.substr(kPrefix.size()));
    return std::wstring(path);
}

FolderAndName SplitFolder(std::wstring_view fullPath)
{
    const std::size_t slash = fullPath.rfind(L'\\');
    if (slash == std::wstring_view::npos) return {{}, fullPath};
    // A drive's root keeps its backslash: "C:\x.exe" is in "C:\".
    const bool driveRoot = slash == 2 && fullPath[1] == L':';
    return {fullPath.substr(0, driveRoot ? slash + 1 : slash), fullPath.substr(slash + 1)};
}

} // namespace zn
