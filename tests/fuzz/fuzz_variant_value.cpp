// A value of any kind: its kind name, its text and number forms, and how it is stored in the
// registry.
//
// Input: a kind byte (its value modulo 10 picks Empty, Null, String, Integer, Long, Boolean,
// Byte(), Byte, Long() or a Byte() without storage), then what that kind holds: the text as
// UTF-16LE units, a 32-bit little-endian number (an Integer keeps its low 16 bits, a Boolean and
// a Byte take one byte), or for Byte() a 32-bit lower bound and then the elements.
#include "fuzz_support.h"

#include "common/error_code_of.h"
#include "settings/registry_codec.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Expected {
    std::wstring_view kind;
    std::optional<std::wstring> text;   // nothing: the kind has no text form
    std::optional<std::int32_t> number; // nothing: the kind has no number form
};

Bytes Utf16z(std::wstring_view text)
{
    Bytes out;
    for (const wchar_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    out.insert(out.end(), {0, 0});
    return out;
}

Bytes Dword(std::int32_t number)
{
    const auto v = static_cast<std::uint32_t>(number);
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

void CheckStored(const VariantValue& value, const Expected& expected)
{
    const bool numeric =
        expected.kind == L"Integer" || expected.kind == L"Long" || expected.kind == L"Boolean";
    if (numeric) {
        ZN_CHECK(EncodeForRegistry(value) == (EncodedValue{kRegDword, Dword(*expected.number)}));
    } else if (expected.text) {
        const EncodedValue encoded = EncodeForRegistry(value);
        ZN_CHECK(encoded == (EncodedValue{kRegSz, Utf16z(*expected.text)}));
        // Read back as the launcher reads its setting: up to the first NUL.
        ZN_CHECK(DecodeDefaultValue(encoded.type, encoded.bytes) ==
                 VariantValue(TrimNull(*expected.text)));
    } else {
        ZN_CHECK(ErrorCodeOf([&] { EncodeForRegistry(value); }) == kErrorConversion);
    }
}

// Everything but the storing of byte arrays, which has rules of its own.
void CheckForms(const VariantValue& value, const Expected& expected)
{
    ZN_CHECK(KindName(value) == expected.kind);
    if (expected.text) {
        ZN_CHECK(ToText(value) == *expected.text);
    } else {
        ZN_CHECK(ErrorCodeOf([&] { ToText(value); }) == kErrorConversion);
    }
    if (expected.number) {
        ZN_CHECK(ToLong(value) == *expected.number);
    } else {
        ZN_CHECK(ErrorCodeOf([&] { ToLong(value); }) == kErrorConversion);
    }
}

void CheckValue(const VariantValue& value, const Expected& expected)
{
    CheckForms(value, expected);
    CheckStored(value, expected);
}

template <class Integer> void CheckInteger(Integer number, std::wstring_view kind)
{
    CheckValue(number, {kind, std::to_wstring(number), number});
}

// The data of an array that holds index 0: its elements from there on, upper + 1 of them.
void CheckStoredArray(const ByteArray& array)
{
    const std::int64_t lower = array.Lower();
    const std::int64_t upper = lower + std::ssize(array.Bytes()) - 1;
    if (array.HasStorage() && lower <= 0 && upper >= 0) {
        const EncodedValue encoded = EncodeForRegistry(array);
        ZN_CHECK(encoded.type == kRegBinary);
        ZN_CHECK(std::ssize(encoded.bytes) == upper + 1);
        ZN_CHECK(std::equal(encoded.bytes.begin(), encoded.bytes.end(),
                            array.Bytes().begin() + static_cast<std::ptrdiff_t>(-lower)));
    } else {
        ZN_CHECK(ErrorCodeOf([&] { EncodeForRegistry(array); }) == kErrorSubscriptOutOfRange);
    }
}

void CheckByteArray(std::int32_t lower, const Bytes& bytes)
{
    // Only an array whose upper bound fits 32 bits can be made.
    const std::int64_t upper = std::int64_t{lower} + std::ssize(bytes) - 1;
    const bool fits = upper >= std::numeric_limits<std::int32_t>::min() &&
                      upper <= std::numeric_limits<std::int32_t>::max();
    std::optional<ByteArray> array;
    const std::uint32_t error = ErrorCodeOf([&] { array.emplace(lower, bytes); });
    ZN_CHECK(error == (fits ? 0 : kErrorSubscriptOutOfRange));
    if (!array) return;
    ZN_CHECK(array->HasStorage());
    ZN_CHECK(array->Lower() == lower && array->Upper() == upper && array->Bytes() == bytes);
    CheckForms(*array, {L"Byte()", std::nullopt, std::nullopt});
    CheckStoredArray(*array);
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    fuzz::Reader input(data, size);
    switch (input.Byte() % 10) {
    case 0: CheckValue(Empty{}, {L"Empty", L"", std::nullopt}); break;
    case 1: CheckValue(Null{}, {L"Null", std::nullopt, std::nullopt}); break;
    case 2: {
        const std::wstring text = input.RestText();
        CheckValue(text, {L"String", text, std::nullopt});
        break;
    }
    case 3: CheckInteger(static_cast<std::int16_t>(input.U32()), L"Integer"); break;
    case 4: CheckInteger(static_cast<std::int32_t>(input.U32()), L"Long"); break;
    case 5: {
        const Boolean b{input.Flag()};
        CheckValue(b, {L"Boolean", b.value ? L"True" : L"False", b.value ? -1 : 0});
        break;
    }
    case 6: {
        const auto lower = static_cast<std::int32_t>(input.U32());
        const auto elements = input.Rest();
        CheckByteArray(lower, {elements.begin(), elements.end()});
        break;
    }
    case 7: CheckInteger(input.Byte(), L"Byte"); break;
    case 8: {
        LongArray array;
        for (auto rest = input.Rest(); rest.size() >= 4; rest = rest.subspan(4))
            array.values.push_back(static_cast<std::int32_t>(fuzz::Reader(rest.data(), 4).U32()));
        CheckValue(array, {L"Long()", std::nullopt, std::nullopt});
        break;
    }
    case 9: {
        const ByteArray none;
        CheckForms(none, {L"Byte()", std::nullopt, std::nullopt});
        CheckStoredArray(none);
        break;
    }
    }
    return 0;
}
