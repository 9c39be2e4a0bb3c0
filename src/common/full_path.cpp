#include "common/full_path.h"

#include <algorithm>

namespace zn {
namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "C:\" and what follows.
bool IsDriveAbsolute(std::wstring_view path)
{
    return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

// "server\share" and what follows: two names, neither empty, neither "." nor "..", nor "?".
bool IsServerAndShare(std::wstring_view path)
{
    std::size_t at = 0;
    for (int part = 0; part < 2; ++part) {
        const std::size_t start = at;
        while (at < path.size() && !IsSeparator(path[at]))
            ++at;
        const std::wstring_view name = path.substr(start, at - start);
        if (name.empty() || name == L"." || name == L".." || name == L"?") return false;
        if (part == 0 && at == path.size()) return false; // a server without a share
        ++at;
    }
    return true;
}

} // namespace

bool IsFullPath(std::wstring_view path)
{
    if (IsDriveAbsolute(path)) return true;
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    const std::wstring_view rest = path.substr(2);
    if (rest.starts_with(L"?\\")) {
        const std::wstring_view target = rest.substr(2);
        if (IsDriveAbsolute(target)) return true;
        return (target.starts_with(L"UNC\\") || target.starts_with(L"unc\\")) &&
               IsServerAndShare(target.substr(4));
    }
    return IsServerAndShare(rest);
}

std::wstring ExtendedLengthPath(std::wstring_view fullPath)
{
    if (!IsFullPath(fullPath) || fullPath.substr(2).starts_with(L"?\\"))
        return std::wstring(fullPath);
    const bool drive = IsDriveAbsolute(fullPath);
    const bool endsInSeparator = IsSeparator(fullPath.back());
    std::wstring result = drive ? L"\\\\?\\" + std::wstring(fullPath.substr(0, 2)) : L"\\\\?\\UNC";
    // A UNC path's server and share are its root, as a drive is: ".." never climbs above them.
    int rootNames = drive ? 0 : 2;
    std::size_t root = result.size();
    for (std::size_t at = 2; at < fullPath.size();) {
        while (at < fullPath.size() && IsSeparator(fullPath[at]))
            ++at;
        std::size_t end = at;
        while (end < fullPath.size() && !IsSeparator(fullPath[end]))
            ++end;
        std::wstring_view name = fullPath.substr(at, end - at);
        at = end;
        if (name.empty() || name == L".") continue;
        if (rootNames == 0 && name == L"..") {
            result.resize(std::max(root, result.rfind(L'\\')));
            continue;
        }
        if (rootNames == 0 && at == fullPath.size()) {
            while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
                name.remove_suffix(1);
        } else if (rootNames == 0 && name.ends_with(L'.') && !name.ends_with(L"..")) {
            name.remove_suffix(1);
        }
        if (name.empty()) continue;
        result += L'\\';
        result += name;
        if (rootNames > 0 && --rootNames == 0) root = result.size();
    }
    if (endsInSeparator || result.size() == root) result += L'\\';
    return result;
}

} // namespace zn
