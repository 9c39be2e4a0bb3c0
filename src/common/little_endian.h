// Little-endian numbers in bytes that come from outside (files, the registry, a drop): a read
// that would reach past the data answers nullopt instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zn {

inline std::optional<std::uint16_t> ReadU16(std::span<const std::uint8_t> data, std::size_t at)
{
    if (at > data.size() || data.size() - at < 2) return std::nullopt;
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

inline std::optional<std::uint32_t> ReadU32(std::span<const std::uint8_t> data, std::size_t at)
{
    if (at > data.size() || data.size() - at < 4) return std::nullopt;
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

inline void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    AppendU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace zn
