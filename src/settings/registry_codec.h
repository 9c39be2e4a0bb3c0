// Turning values into registry data and back, without touching the registry.
//
// Text is UTF-16 on every platform: a std::wstring holds UTF-16 code units (also where
// wchar_t is 32 bits wide), and REG_SZ data is those units, little-endian, then one NUL unit.
#pragma once

#include "settings/variant_value.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

inline constexpr std::uint32_t kRegSz = 1;     // REG_SZ
inline constexpr std::uint32_t kRegBinary = 3; // REG_BINARY
inline constexpr std::uint32_t kRegDword = 4;  // REG_DWORD

struct EncodedValue {
    std::uint32_t type = kRegSz;
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const EncodedValue&, const EncodedValue&) = default;
};

// How a value is stored, decided by its kind name (first match in this order):
//   "String"                       REG_SZ     the text, then a NUL
//   "Integer", "Long", "Boolean"   REG_DWORD  ToLong(value), least significant byte first
//   "Byte()"                       REG_BINARY the elements from index 0 to the upper bound
//   any other                      REG_SZ     ToText(value), then a NUL
// Throws the subscript-out-of-range error for a byte array that does not include index 0,
// and the conversion error for a value without a text form.
EncodedValue EncodeForRegistry(const VariantValue& value);

// The text followed by one NUL, as UTF-16LE bytes.
std::vector<std::uint8_t> EncodeUtf16z(std::wstring_view text);

// UTF-16LE bytes as text; an odd last byte is dropped. NULs are kept.
std::wstring DecodeUtf16(std::span<const std::uint8_t> bytes);

// The characters before the first NUL, or the whole text when it holds none.
std::wstring TrimNull(std::wstring_view text);

// The editor setting as read from a key's default value: REG_SZ data gives its text up to the
// first NUL (data without a terminator is accepted); any other type gives Empty.
VariantValue DecodeDefaultValue(std::uint32_t type, std::span<const std::uint8_t> bytes);

} // namespace zn
