// Move-only owners of Win32 handles. Nothing else in the program closes a handle by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace zn {

template <typename Traits> class Unique {
    using H = typename Traits::Handle;

public:
    Unique() noexcept = default;
    explicit Unique(H h) noexcept : m_h(h) {}
    Unique(Unique&& other) noexcept : m_h(other.release()) {}
    Unique& operator=(Unique&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    H get() const noexcept { return m_h; }
    H* put() noexcept
    {
        reset();
        return &m_h;
    }
    H release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void reset(H h = Traits::Invalid()) noexcept
    {
        const H old = std::exchange(m_h, h);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    explicit operator bool() const noexcept { return m_h != Traits::Invalid(); }

private:
    H m_h = Traits::Invalid();
};

struct HkeyTraits {
    using Handle = HKEY;
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};

struct HandleTraits { // process, thread and other kernel handles: invalid is NULL
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FileTraits { // CreateFileW: invalid is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct FindTraits { // FindFirstFileExW: invalid is INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

struct FontTraits {
    using Handle = HFONT;
    static HFONT Invalid() noexcept { return nullptr; }
    static void Close(HFONT h) noexcept { ::DeleteObject(h); }
};

using UniqueHkey = Unique<HkeyTraits>;
using UniqueFont = Unique<FontTraits>;
using UniqueHandle = Unique<HandleTraits>;
using UniqueFile = Unique<FileTraits>;
using UniqueFind = Unique<FindTraits>;

} // namespace zn
