#include "settings/variant_value.h"

#include "common/error_code_of.h"

#include <gtest/gtest.h>

#include <limits>

namespace zn {
namespace {

TEST(VariantValue, EveryKindHasItsExactKindName)
{
    const struct {
        VariantValue value;
        std::wstring_view name;
    } rows[] = {
        {Empty{}, L"Empty"},
        {Null{}, L"Null"},
        {std::wstring(L"x"), L"String"},
        {std::int16_t{1}, L"Integer"},
        {std::int32_t{1}, L"Long"},
        {kTrue, L"Boolean"},
        {ByteArray(0, {1}), L"Byte()"},
        {std::uint8_t{1}, L"Byte"}, // a single byte is not an array: no brackets
        {LongArray{{1}}, L"Long()"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KindName(row.value), row.name);
}

TEST(VariantValue, TextFormsOfTheKindsThatHaveOne)
{
    const struct {
        VariantValue value;
        std::wstring_view text;
    } rows[] = {
        {Empty{}, L""},
        {std::wstring(L"C:\\Tools\\editor.exe"), L"C:\\Tools\\editor.exe"},
        {std::int16_t{-2}, L"-2"},
        {std::int16_t{std::numeric_limits<std::int16_t>::min()}, L"-32768"},
        {std::int32_t{std::numeric_limits<std::int32_t>::min()}, L"-2147483648"},
        {std::int32_t{0}, L"0"},
        {std::uint8_t{255}, L"255"},
        {std::uint8_t{7}, L"7"},
        {kTrue, L"True"},
        {kFalse, L"False"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ToText(row.value), row.text) << std::wstring(KindName(row.value));
}

TEST(VariantValue, NullAndArraysHaveNoTextForm)
{
    for (const VariantValue& value : {VariantValue(Null{}), VariantValue(ByteArray(0, {1, 2})),
                                      VariantValue(ByteArray()), VariantValue(LongArray{{1}})})
        EXPECT_EQ(ErrorCodeOf([&] { ToText(value); }), kErrorConversion)
            << std::wstring(KindName(value));
}

TEST(VariantValue, ToLongSignExtendsIntegersAndGivesTrueAllBits)
{
    EXPECT_EQ(ToLong(std::int16_t{-2}), -2);
    EXPECT_EQ(ToLong(std::int16_t{-32768}), -32768);
    EXPECT_EQ(ToLong(std::int32_t{0x7FFFFFFF}), 0x7FFFFFFF);
    EXPECT_EQ(ToLong(kTrue), -1);
    EXPECT_EQ(ToLong(kFalse), 0);
    EXPECT_EQ(ToLong(std::uint8_t{200}), 200); // a byte is unsigned: no sign extension
    for (const VariantValue& value : {VariantValue(std::wstring(L"1")), VariantValue(Empty{}),
                                      VariantValue(Null{}), VariantValue(ByteArray(0, {1}))})
        EXPECT_EQ(ErrorCodeOf([&] { ToLong(value); }), kErrorConversion)
            << std::wstring(KindName(value));
}

TEST(VariantValue, ByteArrayBounds)
{
    const ByteArray none;
    EXPECT_FALSE(none.HasStorage());

    const ByteArray empty(0, {});
    EXPECT_TRUE(empty.HasStorage());
    EXPECT_EQ(empty.Lower(), 0);
    EXPECT_EQ(empty.Upper(), -1);

    const ByteArray shifted(-1, {9, 1, 2, 3});
    EXPECT_EQ(shifted.Lower(), -1);
    EXPECT_EQ(shifted.Upper(), 2);

    // An upper bound beyond 32 bits cannot exist.
    const auto max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(ByteArray(max, {1}).Upper(), max);
    EXPECT_EQ(ErrorCodeOf([&] { ByteArray(max, {1, 2}); }), kErrorSubscriptOutOfRange);

    // Nor one below: an empty array from the lowest bound once wrapped round to an upper bound
    // of max, so that storing it read two gigabytes past its elements.
    const auto min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(ByteArray(min, {1}).Upper(), min);
    EXPECT_EQ(ByteArray(min + 1, {}).Upper(), min);
    EXPECT_EQ(ErrorCodeOf([&] { ByteArray(min, {}); }), kErrorSubscriptOutOfRange);
}

} // namespace
} // namespace zn
