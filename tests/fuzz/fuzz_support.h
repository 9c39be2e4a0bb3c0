// What the fuzz targets share: a check that stops the run when a property breaks, and a reader
// that turns the fuzzer's bytes into the values a target needs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

// Unlike assert, never compiled out: libFuzzer takes the abort for a crash and keeps the input.
#define ZN_CHECK(condition)                                                                        \
    do {                                                                                           \
        if (!(condition)) ::zn::fuzz::PropertyBroken(#condition, __FILE__, __LINE__);              \
    } while (false)

namespace zn::fuzz {

[[noreturn]] inline void PropertyBroken(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

// Takes values from the front of the input. Once the input runs dry every value is zero or
// empty, so a target never has to care how short its input is.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_rest(data, size) {}

    std::uint8_t Byte()
    {
        if (m_rest.empty()) return 0;
        const std::uint8_t b = m_rest.front();
        m_rest = m_rest.subspan(1);
        return b;
    }

    bool Flag() { return (Byte() & 1) != 0; }

    // Little-endian, as the registry and CF_HDROP data store it.
    std::uint32_t U32()
    {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 32; shift += 8)
            v |= static_cast<std::uint32_t>(Byte()) << shift;
        return v;
    }

    // One length byte, then that many bytes (fewer where the input ends).
    std::vector<std::uint8_t> Bytes()
    {
        const std::span<const std::uint8_t> taken = Take(Byte());
        return {taken.begin(), taken.end()};
    }

    // One length byte, then that many UTF-16LE code units (fewer where the input ends).
    std::wstring Text() { return Units(Take(std::size_t{Byte()} * 2)); }

    // Every whole UTF-16LE code unit left.
    std::wstring RestText() { return Units(Take(m_rest.size())); }

    std::span<const std::uint8_t> Rest() { return Take(m_rest.size()); }

private:
    std::span<const std::uint8_t> Take(std::size_t count)
    {
        const std::span<const std::uint8_t> taken = m_rest.first(std::min(count, m_rest.size()));
        m_rest = m_rest.subspan(taken.size());
        return taken;
    }

    // Built from 16-bit units so that the text is the same one a Windows build would see.
    static std::wstring Units(std::span<const std::uint8_t> bytes)
    {
        std::wstring text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }

    std::span<const std::uint8_t> m_rest;
};

} // namespace zn::fuzz
