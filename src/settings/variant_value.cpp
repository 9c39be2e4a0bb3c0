#include "settings/variant_value.h"

#include "common/app_error.h"
#include "common/decimal.h"

#include <limits>
#include <type_traits>

namespace zn {
namespace {

// Used only in discarded branches, which clang does not count as a use.
template <class T> [[maybe_unused]] inline constexpr bool kAlwaysFalse = false;

[[noreturn]] void FailConversion(std::wstring_view kind)
{
    Fail(kErrorConversion, L"値 (" + std::wstring(kind) + L") を変換できません。");
}

} // namespace

ByteArray::ByteArray(std::int32_t lower, std::vector<std::uint8_t> bytes)
    : m_hasStorage(true), m_lower(lower), m_bytes(std::move(bytes))
{
    // Both ends count: no elements from the lowest lower bound would put the upper bound below
    // it, where Upper() would wrap round to the highest one.
    const auto upper = static_cast<std::int64_t>(lower) + std::ssize(m_bytes) - 1;
    if (upper > std::numeric_limits<std::int32_t>::max() ||
        upper < std::numeric_limits<std::int32_t>::min())
        Fail(kErrorSubscriptOutOfRange, L"配列の範囲が大きすぎます。");
}

std::wstring_view KindName(const VariantValue& value)
{
    return std::visit(
        [](const auto& v) -> std::wstring_view {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Empty>)
                return L"Empty";
            else if constexpr (std::is_same_v<T, Null>)
                return L"Null";
            else if constexpr (std::is_same_v<T, std::wstring>)
                return L"String";
            else if constexpr (std::is_same_v<T, std::int16_t>)
                return L"Integer";
            else if constexpr (std::is_same_v<T, std::int32_t>)
                return L"Long";
            else if constexpr (std::is_same_v<T, Boolean>)
                return L"Boolean";
            else if constexpr (std::is_same_v<T, ByteArray>)
                return L"Byte()";
            else if constexpr (std::is_same_v<T, std::uint8_t>)
                return L"Byte";
            else if constexpr (std::is_same_v<T, LongArray>)
                return L"Long()";
            else
                static_assert(kAlwaysFalse<T>, "every kind needs a kind name");
        },
        value);
}

std::wstring ToText(const VariantValue& value)
{
    return std::visit(
        [&value](const auto& v) -> std::wstring {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Empty>)
                return {};
            else if constexpr (std::is_same_v<T, std::wstring>)
                return v;
            else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>)
                return ToDecimal(v);
            else if constexpr (std::is_same_v<T, std::uint8_t>)
                return ToDecimal(v);
            else if constexpr (std::is_same_v<T, Boolean>)
                return v.value ? L"True" : L"False";
            else if constexpr (std::is_same_v<T, Null> || std::is_same_v<T, ByteArray> ||
                               std::is_same_v<T, LongArray>)
                FailConversion(KindName(value));
            else
                static_assert(kAlwaysFalse<T>, "every kind needs a decision on its text form");
        },
        value);
}

std::int32_t ToLong(const VariantValue& value)
{
    if (const auto* i = std::get_if<std::int16_t>(&value)) return *i;
    if (const auto* l = std::get_if<std::int32_t>(&value)) return *l;
    if (const auto* b = std::get_if<Boolean>(&value)) return b->Bits();
    if (const auto* u = std::get_if<std::uint8_t>(&value)) return *u;
    FailConversion(KindName(value));
}

} // namespace zn
