#include "settings/variant_value.h"

#include "common/error_code_of.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zn {
namespace {

// One value of every kind the variant can hold, default-constructed, in the variant's order: a
// kind added later is checked here without a new line.
std::vector<VariantValue> OneOfEachKind()
{
    return []<std::size_t... I>(std::index_sequence<I...>)
    {
        return std::vector<VariantValue>{VariantValue(std::in_place_index<I>)...};
    }
    (std::make_index_sequence<std::variant_size_v<VariantValue>>());
}

bool EndsWithBrackets(std::wstring_view name)
{
    return name.size() > 2 && name.substr(name.size() - 2) == L"()";
}

TEST(VariantValue, KindNamesTellEveryKindApartAndNameArraysAfterTheirElements)
{
    std::set<std::wstring_view> names;
    for (const VariantValue& value : OneOfEachKind())
        names.insert(KindName(value));
    EXPECT_EQ(names.size(), std::variant_size_v<VariantValue>) << "two kinds share a name";
    EXPECT_EQ(names.count(L""), 0u);
    // An array's name is its element kind's with brackets: "Byte()" holds what "Byte" is.
    for (const std::wstring_view name : names) {
        if (EndsWithBrackets(name)) {
            EXPECT_EQ(names.count(name.substr(0, name.size() - 2)), 1u)
                << std::wstring(name) << " names no element kind";
        }
    }
}

TEST(VariantValue, NullAndArraysAloneHaveNoTextForm)
{
    for (const VariantValue& value : OneOfEachKind()) {
        const std::wstring name(KindName(value));
        const bool none = name == L"Null" || EndsWithBrackets(name);
        EXPECT_EQ(ErrorCodeOf([&] { ToText(value); }), none ? kErrorConversion : 0u) << name;
    }
    EXPECT_EQ(ErrorCodeOf([] { ToText(ByteArray(0, {1, 2})); }), kErrorConversion);
    EXPECT_EQ(ErrorCodeOf([] { ToText(LongArray{{1}}); }), kErrorConversion);
}

TEST(VariantValue, NumbersReadBackFromTheirTextAsTheNumberTheyConvertTo)
{
    // Every 16-bit integer and byte, and the 32-bit ones around zero and both ends: the text is
    // the standard library's plain decimal (no leading zeros, no plus sign, no "-0"), and the
    // same number has the same text whatever its kind.
    std::vector<VariantValue> numbers;
    for (int i = std::numeric_limits<std::int16_t>::min();
         i <= std::numeric_limits<std::int16_t>::max(); ++i)
        numbers.emplace_back(static_cast<std::int16_t>(i));
    for (int i = 0; i <= 255; ++i)
        numbers.emplace_back(static_cast<std::uint8_t>(i));
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t l :
         {kMin, kMin + 1, -65536, -32769, -1, 0, 1, 32768, 65535, kMax - 1, kMax})
        numbers.emplace_back(l);
    for (const VariantValue& number : numbers) {
        const std::wstring text = ToText(number);
        EXPECT_EQ(text, std::to_wstring(ToLong(number))) << std::wstring(KindName(number));
        EXPECT_EQ(ToText(std::int32_t{ToLong(number)}), text);
    }
}

TEST(VariantValue, TextStaysTextAndTheOtherKindsHaveDistinctForms)
{
    using namespace std::string_literals;
    for (const std::wstring& text :
         {L""s, L"C:\\Tools\\editor.exe"s, L"a\0b"s, L"エディタ"s, std::wstring(5000, L'x')})
        EXPECT_EQ(ToText(text), text);
    // Empty reads as the empty text; the truth values as two different, non-empty words.
    EXPECT_EQ(ToText(Empty{}), ToText(std::wstring()));
    EXPECT_NE(ToText(kTrue), ToText(kFalse));
    EXPECT_FALSE(ToText(kTrue).empty());
    EXPECT_FALSE(ToText(kFalse).empty());
}

TEST(VariantValue, ToLongKeepsEveryNumberAndMakesTrueAllBits)
{
    for (int i = std::numeric_limits<std::int16_t>::min();
         i <= std::numeric_limits<std::int16_t>::max(); ++i)
        ASSERT_EQ(ToLong(static_cast<std::int16_t>(i)), i); // sign-extended
    for (int i = 0; i <= 255; ++i)
        ASSERT_EQ(ToLong(static_cast<std::uint8_t>(i)), i); // a byte is unsigned
    for (const std::int32_t l : {std::numeric_limits<std::int32_t>::min(), -1, 0,
                                 std::numeric_limits<std::int32_t>::max()})
        EXPECT_EQ(ToLong(l), l);
    EXPECT_EQ(static_cast<std::uint32_t>(ToLong(kTrue)), 0xFFFFFFFFu);
    EXPECT_EQ(ToLong(kFalse), 0);
    for (const VariantValue& value :
         {VariantValue(std::wstring(L"1")), VariantValue(Empty{}), VariantValue(Null{}),
          VariantValue(ByteArray(0, {1})), VariantValue(LongArray{{1}})})
        EXPECT_EQ(ErrorCodeOf([&] { ToLong(value); }), kErrorConversion)
            << std::wstring(KindName(value));
}

TEST(VariantValue, ByteArrayBounds)
{
    const ByteArray none;
    EXPECT_FALSE(none.HasStorage());

    // Upper() - Lower() + 1 is the element count from any lower bound that leaves room.
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    for (const std::int32_t lower : {kMin, kMin + 1, -3, -1, 0, 1, kMax - 3}) {
        for (std::size_t count = 0; count <= 3; ++count) {
            if (static_cast<std::int64_t>(lower) + static_cast<std::int64_t>(count) - 1 < kMin)
                continue;
            const ByteArray array(lower, std::vector<std::uint8_t>(count, 7));
            EXPECT_TRUE(array.HasStorage());
            EXPECT_EQ(array.Lower(), lower);
            EXPECT_EQ(static_cast<std::int64_t>(array.Upper()) - array.Lower() + 1,
                      static_cast<std::int64_t>(count))
                << lower << " with " << count;
        }
    }

    // An upper bound beyond 32 bits cannot exist.
    EXPECT_EQ(ByteArray(kMax, {1}).Upper(), kMax);
    EXPECT_EQ(ErrorCodeOf([&] { ByteArray(kMax, {1, 2}); }), kErrorSubscriptOutOfRange);

    // Nor one below: an empty array from the lowest bound once wrapped round to an upper bound
    // of max, so that storing it read two gigabytes past its elements.
    EXPECT_EQ(ByteArray(kMin + 1, {}).Upper(), kMin);
    EXPECT_EQ(ErrorCodeOf([&] { ByteArray(kMin, {}); }), kErrorSubscriptOutOfRange);
}

} // namespace
} // namespace zn
