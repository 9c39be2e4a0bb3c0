// Plain decimal text of an integer: no leading zeros, a minus sign for negatives.
// (Written here rather than taken from std::to_wstring, which pulls the C runtime's whole
// formatted-output machinery into a program that needs none of it.)
#pragma once

#include <cstdint>
#include <string>

namespace zn {

inline std::wstring ToDecimal(std::int64_t value)
{
    wchar_t digits[24];
    wchar_t* end = digits + 24;
    wchar_t* p = end;
    // Work in the unsigned domain so that the most negative value has a magnitude too.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = L'-';
    return std::wstring(p, end);
}

} // namespace zn
