// The program's own tagged value: Empty, Null, or one value of one kind. Each kind has a kind
// name, and the registry writer decides how to store a value by that name alone.
#pragma once

#include "common/boolean.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zn {

struct Empty {
    friend bool operator==(const Empty&, const Empty&) = default;
};
struct Null {
    friend bool operator==(const Null&, const Null&) = default;
};

// A one-dimensional array of bytes with its own lower bound. A default-constructed array has
// no storage at all (no bounds); one with storage but no elements has Upper() == Lower() - 1.
class ByteArray {
public:
    ByteArray() = default;
    // Throws the subscript-out-of-range error when the upper bound would not fit 32 bits.
    ByteArray(std::int32_t lower, std::vector<std::uint8_t> bytes);

    bool HasStorage() const { return m_hasStorage; }
    std::int32_t Lower() const { return m_lower; }
    std::int32_t Upper() const
    {
        return static_cast<std::int32_t>(m_lower + std::ssize(m_bytes) - 1);
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

    friend bool operator==(const ByteArray&, const ByteArray&) = default;

private:
    bool m_hasStorage = false;
    std::int32_t m_lower = 0;
    std::vector<std::uint8_t> m_bytes;
};

// An array of 32-bit integers: an array of a kind other than bytes, which has no text form.
struct LongArray {
    std::vector<std::int32_t> values;
    friend bool operator==(const LongArray&, const LongArray&) = default;
};

//                 kind name:  "Empty" "Null" "String"      "Integer"     "Long"
using VariantValue = std::variant<Empty, Null, std::wstring, std::int16_t, std::int32_t,
                                  //  "Boolean" "Byte()"   "Byte"        "Long()"
                                  Boolean, ByteArray, std::uint8_t, LongArray>;

std::wstring_view KindName(const VariantValue& value);

// Text unchanged; integers and a single byte in plain decimal; a Boolean as "True"/"False";
// Empty as the empty text. Throws the conversion error for Null and for arrays.
std::wstring ToText(const VariantValue& value);

// Integers sign-extended, true to -1, false to 0, a byte unchanged. Throws the conversion error
// for every other kind.
std::int32_t ToLong(const VariantValue& value);

} // namespace zn
