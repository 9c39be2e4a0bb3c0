// Owner of one COM reference: released when the owner goes, copied with AddRef. Nothing
// outside this header pairs AddRef and Release by hand.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace zn {

template <class T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(const ComPtr& other) noexcept : m_p(other.m_p)
    {
        if (m_p != nullptr) m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over a reference the caller owns, such as the one a new object starts with.
    static ComPtr Attach(T* p) noexcept
    {
        ComPtr owner;
        owner.m_p = p;
        return owner;
    }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // For functions that hand out a new reference through an out-parameter.
    T** put() noexcept
    {
        reset();
        return &m_p;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    void reset() noexcept
    {
        if (T* old = std::exchange(m_p, nullptr)) old->Release();
    }

    // Another interface of the same object; empty when it has none.
    template <class U> ComPtr<U> QueryAs(REFIID iid) const noexcept
    {
        ComPtr<U> other;
        if (m_p != nullptr) m_p->QueryInterface(iid, other.put_void());
        return other;
    }

private:
    T* m_p = nullptr;
};

} // namespace zn
