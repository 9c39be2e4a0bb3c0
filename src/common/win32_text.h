// Reading text from Win32 functions that fill a caller's buffer.
#pragma once

#include <windows.h>

#include <string>

namespace zn {

// Calls `fill(buffer, capacity)` with growing buffers until the text fits. `fill` returns the
// length it wrote without the NUL when the text fit, a value of at least `capacity` when it did
// not (the needed size, where the function reports one), and 0 on failure. Returns the text, or
// the empty text on failure with GetLastError() left as `fill` set it.
template <class Fill> std::wstring ReadGrowing(Fill fill)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const auto capacity = static_cast<DWORD>(buffer.size());
        const DWORD result = fill(buffer.data(), capacity);
        if (result == 0) return {};
        if (result < capacity) {
            buffer.resize(result);
            return buffer;
        }
        buffer.resize(result > capacity ? result + 1 : static_cast<std::size_t>(capacity) * 2);
    }
}

} // namespace zn
