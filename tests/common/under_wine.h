// Whether this test runs under Wine rather than on Windows: Wine's ntdll exports
// wine_get_version, Windows' does not. Tests that check a fact of one of the two ask this.
#pragma once

#include <windows.h>

namespace zn {

inline bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace zn
