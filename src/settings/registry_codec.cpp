#include "settings/registry_codec.h"

#include "common/app_error.h"
#include "common/little_endian.h"

#include <array>

namespace zn {
namespace {

enum class Storage { Text, Dword, Binary };

struct KindRule {
    std::wstring_view kindName;
    Storage storage;
};

// Compared in this order, exactly; a kind not listed is stored as its text form.
constexpr std::array<KindRule, 5> kRules{{
    {L"String", Storage::Text},
    {L"Integer", Storage::Dword},
    {L"Long", Storage::Dword},
    {L"Boolean", Storage::Dword},
    {L"Byte()", Storage::Binary},
}};

std::vector<std::uint8_t> EncodeBinary(const ByteArray& array)
{
    // Index 0 must exist; the elements before it are left out.
    if (!array.HasStorage() || array.Lower() > 0 || array.Upper() < 0)
        Fail(kErrorSubscriptOutOfRange, L"配列の添字が範囲外です。");
    const auto& bytes = array.Bytes();
    return {bytes.begin() + (0 - static_cast<std::int64_t>(array.Lower())), bytes.end()};
}

} // namespace

std::vector<std::uint8_t> EncodeUtf16z(std::wstring_view text)
{
    std::vector<std::uint8_t> out;
    out.reserve((text.size() + 1) * 2);
    for (const wchar_t c : text) {
        const auto unit = static_cast<std::uint32_t>(c);
        if (unit > 0xFFFF) { // only where wchar_t is 32 bits: split into a surrogate pair
            const std::uint32_t v = unit - 0x10000;
            AppendU16(out, static_cast<std::uint16_t>(0xD800 + ((v >> 10) & 0x3FF)));
            AppendU16(out, static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            AppendU16(out, static_cast<std::uint16_t>(unit));
        }
    }
    AppendU16(out, 0);
    return out;
}

std::wstring DecodeUtf16(std::span<const std::uint8_t> bytes)
{
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(*ReadU16(bytes, i)));
    return text;
}

std::wstring TrimNull(std::wstring_view text)
{
    return std::wstring(text.substr(0, text.find(L'\0')));
}

EncodedValue EncodeForRegistry(const VariantValue& value)
{
    const std::wstring_view kind = KindName(value);
    Storage storage = Storage::Text;
    for (const KindRule& rule : kRules) {
        if (rule.kindName == kind) {
            storage = rule.storage;
            break;
        }
    }
    switch (storage) {
    case Storage::Dword: {
        EncodedValue encoded{kRegDword, {}};
        AppendU32(encoded.bytes, static_cast<std::uint32_t>(ToLong(value)));
        return encoded;
    }
    case Storage::Binary: return {kRegBinary, EncodeBinary(std::get<ByteArray>(value))};
    case Storage::Text: break;
    }
    return {kRegSz, EncodeUtf16z(ToText(value))};
}

VariantValue DecodeDefaultValue(std::uint32_t type, std::span<const std::uint8_t> bytes)
{
    if (type != kRegSz) return Empty{};
    return TrimNull(DecodeUtf16(bytes));
}

} // namespace zn
