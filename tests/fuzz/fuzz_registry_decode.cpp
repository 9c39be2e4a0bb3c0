// Raw registry data of any type and length, read as the editor setting.
//
// Input: the value's type (32 bits, little-endian), then its data.
#include "fuzz_support.h"

#include "settings/registry_codec.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace zn {
namespace {

void CheckUnits(std::span<const std::uint8_t> bytes, const std::wstring& units)
{
    // Every whole pair of bytes is one unit, low byte first; an odd last byte is no unit.
    ZN_CHECK(units.size() == bytes.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        ZN_CHECK(units[i] == static_cast<wchar_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
}

void CheckSetting(std::uint32_t type, std::span<const std::uint8_t> bytes,
                  const std::wstring& units)
{
    const VariantValue setting = DecodeDefaultValue(type, bytes);
    if (type != kRegSz) {
        ZN_CHECK(std::holds_alternative<Empty>(setting));
        return;
    }
    ZN_CHECK(std::holds_alternative<std::wstring>(setting));
    const std::wstring& text = std::get<std::wstring>(setting);
    ZN_CHECK(text.find(L'\0') == std::wstring::npos);
    ZN_CHECK(units.starts_with(text));
    ZN_CHECK(text.size() == units.size() || units[text.size()] == L'\0');

    // Stored again, it is the data it came from up to and including the NUL it stopped at.
    const std::vector<std::uint8_t> stored = EncodeUtf16z(text);
    ZN_CHECK(stored.size() == 2 * text.size() + 2);
    if (text.size() < units.size()) {
        ZN_CHECK(std::equal(stored.begin(), stored.end(), bytes.begin()));
    } else {
        ZN_CHECK(std::equal(stored.begin(), stored.end() - 2, bytes.begin()));
    }
}

// Text without a NUL survives being stored and read back.
void CheckRoundTrip(std::wstring text)
{
    std::erase(text, L'\0');
    ZN_CHECK(DecodeDefaultValue(kRegSz, EncodeUtf16z(text)) == VariantValue(text));
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    fuzz::Reader input(data, size);
    const std::uint32_t type = input.U32();
    const std::span<const std::uint8_t> bytes = input.Rest();
    const std::wstring units = DecodeUtf16(bytes);
    CheckUnits(bytes, units);
    CheckSetting(type, bytes, units);
    CheckRoundTrip(units);
    return 0;
}
