#include "settings/registry_codec.h"

#include "common/error_code_of.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RegistryEncoding, EachKindIsStoredAsItsKindNameSays)
{
    const struct {
        const char* why;
        VariantValue value;
        EncodedValue expected;
    } rows[] = {
        {"text, with its NUL", std::wstring(L"abc"), {kRegSz, {'a', 0, 'b', 0, 'c', 0, 0, 0}}},
        {"empty text: the NUL alone", std::wstring(), {kRegSz, {0, 0}}},
        {"two-byte characters whole",
         std::wstring(L"C:\\編集\\ed.exe"),
         {kRegSz, {'C', 0,   ':', 0,   '\\', 0,   0xE8, 0x7D, 0xC6, 0x96, '\\', 0, 'e',
                   0,   'd', 0,   '.', 0,    'e', 0,    'x',  0,    'e',  0,    0, 0}}},
        {"true is all bits", kTrue, {kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}},
        {"false", kFalse, {kRegDword, {0, 0, 0, 0}}},
        {"Integer sign-extended", std::int16_t{-2}, {kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}},
        {"Long, least significant byte first", std::int32_t{1}, {kRegDword, {1, 0, 0, 0}}},
        {"Long 0x12345678", std::int32_t{0x12345678}, {kRegDword, {0x78, 0x56, 0x34, 0x12}}},
        {"Byte() 0..2", ByteArray(0, {1, 2, 3}), {kRegBinary, {1, 2, 3}}},
        {"Byte() -1..2 leaves out index -1", ByteArray(-1, {9, 1, 2, 3}), {kRegBinary, {1, 2, 3}}},
        {"Byte() -3..0", ByteArray(-3, {7, 8, 9, 4}), {kRegBinary, {4}}},
        {"a single Byte is text", std::uint8_t{200}, {kRegSz, {'2', 0, '0', 0, '0', 0, 0, 0}}},
        {"Empty is the empty text", Empty{}, {kRegSz, {0, 0}}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(EncodeForRegistry(row.value), row.expected) << row.why;
}

TEST(RegistryEncoding, ByteArraysWithoutIndexZeroAreOutOfRange)
{
    const struct {
        const char* why;
        ByteArray array;
    } rows[] = {
        {"lower bound 1", ByteArray(1, {1, 2, 3})},
        {"no elements", ByteArray(0, {})},
        {"no storage at all", ByteArray()},
        {"all below zero", ByteArray(-3, {1, 2})},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ErrorCodeOf([&] { EncodeForRegistry(row.array); }), kErrorSubscriptOutOfRange)
            << row.why;
}

TEST(RegistryEncoding, ValuesWithoutTextFormCannotBeStored)
{
    EXPECT_EQ(ErrorCodeOf([] { EncodeForRegistry(Null{}); }), kErrorConversion);
    EXPECT_EQ(ErrorCodeOf([] { EncodeForRegistry(LongArray{{1, 2}}); }), kErrorConversion);
}

TEST(RegistryEncoding, CodePointsBeyondSixteenBitsBecomeSurrogatePairs)
{
    if constexpr (sizeof(wchar_t) == 4) {
        const std::wstring text(1, static_cast<wchar_t>(0x1F600));
        EXPECT_EQ(EncodeUtf16z(text), (Bytes{0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
    } else {
        GTEST_SKIP() << "wchar_t holds UTF-16 units here already";
    }
}

TEST(TrimNull, CutsAtTheFirstNul)
{
    using namespace std::string_literals;
    EXPECT_EQ(TrimNull(L""), L"");
    EXPECT_EQ(TrimNull(L"abc"), L"abc");
    EXPECT_EQ(TrimNull(L"\0abc"s), L"");
    EXPECT_EQ(TrimNull(L"ab\0cd"s), L"ab");
    EXPECT_EQ(TrimNull(L"a\0b\0c"s), L"a");
    EXPECT_EQ(TrimNull(L"C:\\Tools\\editor.exe\0    "s), L"C:\\Tools\\editor.exe");
}

TEST(RegistryDecoding, TextIsAcceptedWithOrWithoutItsTerminator)
{
    const struct {
        const char* why;
        std::uint32_t type;
        Bytes data;
        VariantValue expected;
    } rows[] = {
        {"terminated", kRegSz, {'a', 0, 'b', 0, 0, 0}, std::wstring(L"ab")},
        {"no terminator", kRegSz, {'a', 0, 'b', 0}, std::wstring(L"ab")},
        {"extra NULs", kRegSz, {'a', 0, 0, 0, 0, 0, 'z', 0}, std::wstring(L"a")},
        {"odd last byte dropped", kRegSz, {'a', 0, 'b'}, std::wstring(L"a")},
        {"no data at all", kRegSz, {}, std::wstring()},
        {"one byte", kRegSz, {'a'}, std::wstring()},
        {"two-byte character", kRegSz, {0xE8, 0x7D, 0, 0}, std::wstring(1, wchar_t{0x7DE8})},
        {"a DWORD is not text", kRegDword, {1, 0, 0, 0}, Empty{}},
        {"binary is not text", kRegBinary, {'a', 0, 0, 0}, Empty{}},
        {"REG_EXPAND_SZ is not taken", 2, {'a', 0, 0, 0}, Empty{}},
        {"REG_MULTI_SZ is not taken", 7, {'a', 0, 0, 0, 0, 0}, Empty{}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DecodeDefaultValue(row.type, row.data), row.expected) << row.why;
}

TEST(RegistryDecoding, WhatIsEncodedAsTextDecodesToTheSameText)
{
    const std::wstring texts[] = {
        L"",
        L"C:\\Tools\\editor.exe",
        L"C:\\Program Files\\エディタ\\秀丸.exe",
        std::wstring{L'C', L':', L'\\', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00),
                     L'.', L'e'},
        std::wstring(300, L'x'),
        std::wstring(1, static_cast<wchar_t>(0xFFFF)),
        std::wstring(1, static_cast<wchar_t>(0xDC00)), // an unpaired surrogate survives too
    };
    for (const std::wstring& text : texts) {
        const EncodedValue encoded = EncodeForRegistry(text);
        EXPECT_EQ(DecodeDefaultValue(encoded.type, encoded.bytes), VariantValue(text));
    }
}

} // namespace
} // namespace zn
