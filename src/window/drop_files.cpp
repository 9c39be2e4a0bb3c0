#include "window/drop_files.h"

#include "common/little_endian.h"

namespace zn {
namespace {

constexpr std::size_t kHeaderSize = 20; // pFiles, pt.x, pt.y, fNC, fWide: five 32-bit fields

} // namespace

std::optional<std::vector<std::wstring>> ParseDropFiles(std::span<const std::uint8_t> data,
                                                        const CodePageToText& fromCodePage)
{
    const auto offset = ReadU32(data, 0);
    const auto wide = ReadU32(data, 16);
    if (!offset || !wide || *offset < kHeaderSize || *offset > data.size()) return std::nullopt;

    std::vector<std::wstring> names;
    std::size_t at = *offset;
    if (*wide != 0) {
        for (;;) {
            std::wstring name;
            bool terminated = false;
            for (std::optional<std::uint16_t> unit; (unit = ReadU16(data, at)); at += 2) {
                if (*unit == 0) {
                    terminated = true;
                    at += 2;
                    break;
                }
                name.push_back(static_cast<wchar_t>(*unit));
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
