// Where the built ZanvekNotepad.exe is: ctest passes its Linux path, and Wine's drive Z: is the
// Linux root.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace zn {

inline std::wstring BuiltProgramPath()
{
    wchar_t buffer[4096] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"ZN_PROGRAM", buffer, 4096);
    std::wstring path(buffer, n < 4096 ? n : 0);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path.empty() || path[0] != L'\\' ? path : L"Z:" + path;
}

} // namespace zn
