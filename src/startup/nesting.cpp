#include "startup/nesting.h"

#include "common/decimal.h"

#include <algorithm>

namespace zn {

unsigned ParseNestingDepth(const std::optional<std::wstring>& value)
{
    if (!value) return 0;
    unsigned depth = 0;
    for (const wchar_t c : *value) {
        if (c < L'0' || c > L'9') return 0;
        depth = std::min(depth * 10 + static_cast<unsigned>(c - L'0'), kSaturatedDepth);
    }
    return depth;
}

std::wstring NextNestingDepth(unsigned depth)
{
    return ToDecimal(static_cast<std::int64_t>(std::min(depth, kSaturatedDepth - 1)) + 1);
}

} // namespace zn
