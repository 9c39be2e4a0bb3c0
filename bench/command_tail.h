/* The text after the program name in a full command line, split the way the launcher splits
   it (shared by the benchmark's launchers). */
#pragma once

#include <wchar.h>

static const wchar_t* Tail(const wchar_t* p)
{
    int quoted = 0;
    for (; *p != 0 && (*p > L' ' || quoted); ++p)
        if (*p == L'"') quoted = !quoted;
    while (*p != 0 && *p <= L' ')
        ++p;
    return p;
}
