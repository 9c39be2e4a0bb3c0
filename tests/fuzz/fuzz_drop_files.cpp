// Reading the dropped files out of CF_HDROP data, which comes from whatever program the user
// drags from.
//
// Input: a mode byte. Bit 0 clear: the rest of the input is the data, taken as it is. Bit 0 set:
// data is built from the input and must read back as the names it was built from; bit 1 picks
// UTF-16 names (else code-page ones). Then come the size of the header beyond its 20 bytes
// (modulo 16), the header's other fields (12 bytes), the extra header bytes, a name count
// (modulo 8), the names (each a length byte, then UTF-16LE units; code-page names keep the low
// byte of each unit), and the bytes after the end of the list (all the input left).
#include "fuzz_support.h"

#include "window/drop_files.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeaderSize = 20;

// Stands in for the system code page; also checks what the parser hands it.
struct Latin1 {
    std::span<const std::uint8_t> data;
    std::size_t* calls;

    std::wstring operator()(std::string_view name) const
    {
        ++*calls;
        // One whole name from inside the list: not empty, no NUL, and no byte outside the data.
        const auto* first = reinterpret_cast<const std::uint8_t*>(name.data());
        ZN_CHECK(!name.empty());
        ZN_CHECK(name.find('\0') == std::string_view::npos);
        ZN_CHECK(first >= data.data() + kHeaderSize &&
                 first + name.size() <= data.data() + data.size());
        std::wstring text;
        for (const char c : name)
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        return text;
    }
};

std::optional<std::vector<std::wstring>> Parse(std::span<const std::uint8_t> data)
{
    std::size_t calls = 0;
    const auto names = ParseDropFiles(data, Latin1{data, &calls});
    const bool wide = data.size() >= kHeaderSize &&
                      (data[16] != 0 || data[17] != 0 || data[18] != 0 || data[19] != 0);
    // The code page is consulted once for each name it gives, and never for UTF-16 data.
    ZN_CHECK(calls == (wide || !names ? 0 : names->size()));
    return names;
}

void CheckAnyData(std::span<const std::uint8_t> data)
{
    const auto names = Parse(data);
    if (data.size() < kHeaderSize) ZN_CHECK(!names);
    if (!names) return;
    ZN_CHECK(!names->empty());
    for (const std::wstring& name : *names) {
        ZN_CHECK(!name.empty());
        ZN_CHECK(name.find(L'\0') == std::wstring::npos);
    }
}

void PutU32(Bytes& data, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void CheckBuiltData(fuzz::Reader& input, bool wide)
{
    const std::size_t offset = kHeaderSize + input.Byte() % 16;
    Bytes data(offset);
    for (std::size_t at = 4; at < offset; ++at)
        data[at] = input.Byte();
    PutU32(data, 0, static_cast<std::uint32_t>(offset));
    PutU32(data, 16, wide ? 1 : 0);

    std::vector<std::wstring> names;
    for (int count = input.Byte() % 8; count > 0; --count) {
        std::wstring name;
        for (const wchar_t c : input.Text()) {
            const wchar_t unit = wide ? c : static_cast<wchar_t>(c & 0xFF);
            if (unit != L'\0') name.push_back(unit);
        }
        if (name.empty()) continue; // an empty name would end the list
        for (const wchar_t c : name) {
            data.push_back(static_cast<std::uint8_t>(c & 0xFF));
            if (wide) data.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
        }
        data.insert(data.end(), wide ? 2 : 1, 0);
        names.push_back(std::move(name));
    }
    data.insert(data.end(), wide ? 2 : 1, 0);
    const std::span<const std::uint8_t> after = input.Rest();
    data.insert(data.end(), after.begin(), after.end());

    const auto parsed = Parse(data);
    if (names.empty()) {
        ZN_CHECK(!parsed);
    } else {
        ZN_CHECK(parsed && *parsed == names);
    }
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    fuzz::Reader input(data, size);
    const std::uint8_t mode = input.Byte();
    if ((mode & 1) == 0) {
        CheckAnyData(input.Rest());
    } else {
        CheckBuiltData(input, (mode & 2) != 0);
    }
    return 0;
}
