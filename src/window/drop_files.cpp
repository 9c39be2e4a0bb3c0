#include "window/drop_files.h"

namespace zn {
namespace {

constexpr std::size_t kHeaderSize = 20; // pFiles, pt.x, pt.y, fNC, fWide: five 32-bit fields

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t at)
{
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

} // namespace

std::optional<std::vector<std::wstring>> ParseDropFiles(std::span<const std::uint8_t> data,
                                                        const CodePageToText& fromCodePage)
{
    if (data.size() < kHeaderSize) return std::nullopt;
    const std::uint32_t offset = ReadU32(data, 0);
    const bool wide = ReadU32(data, 16) != 0;
    if (offset < kHeaderSize || offset > data.size()) return std::nullopt;

    std::vector<std::wstring> names;
    std::size_t at = offset;
    if (wide) {
        for (;;) {
            std::wstring name;
            bool terminated = false;
            for (; at + 1 < data.size(); at += 2) {
                const auto unit = static_cast<wchar_t>(data[at] | data[at + 1] << 8);
                if (unit == L'\0') {
                    terminated = true;
                    at += 2;
                    break;
                }
                name.push_back(unit);
            }
            if (!terminated || name.empty()) break;
            names.push_back(std::move(name));
        }
    } else {
        for (;;) {
            const std::size_t start = at;
            while (at < data.size() && data[at] != 0)
                ++at;
            if (at >= data.size() || at == start) break;
            names.push_back(fromCodePage(
                std::string_view(reinterpret_cast<const char*>(data.data()) + start, at - start)));
            ++at;
        }
    }
    if (names.empty()) return std::nullopt;
    return names;
}

} // namespace zn
