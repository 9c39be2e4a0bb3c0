// The program's truth value as it is stored and returned: true is all bits set, false is 0.
#pragma once

#include <cstdint>

namespace zn {

struct Boolean {
    bool value = false;

    constexpr std::int16_t Bits() const { return value ? std::int16_t{-1} : std::int16_t{0}; }
    constexpr explicit operator bool() const { return value; }
    friend constexpr bool operator==(Boolean, Boolean) = default;
};

inline constexpr Boolean kTrue{true};
inline constexpr Boolean kFalse{false};

} // namespace zn
