// Builds small PE image files with a version resource, in memory, for the tests of the version
// resource reader: the layout Windows' tools write, byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zn::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void Put32(Bytes& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void Pad4(Bytes& out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// One VS_VERSIONINFO node: length, value length, type, key, value, children, 32-bit aligned.
// `textValue` nodes count their value in characters (including the NUL), as rc writes them.
inline Bytes VersionNode(const std::wstring& key, const Bytes& value, bool textValue,
                         const std::vector<Bytes>& children)
{
    Bytes out(6, 0);
    for (const wchar_t c : key) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    Pad4(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        Pad4(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    Put16(out, 0, static_cast<std::uint32_t>(out.size()));
    Put16(out, 2, static_cast<std::uint32_t>(textValue ? value.size() / 2 : value.size()));
    Put16(out, 4, textValue ? 1 : 0);
    return out;
}

inline Bytes TextValue(const std::wstring& text)
{
    Bytes out;
    for (const wchar_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

// A VS_VERSIONINFO with one string table per entry of `tables` (its language key and strings).
inline Bytes VersionInfo(
    const std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>>&
        tables)
{
    std::vector<Bytes> tableNodes;
    for (const auto& [language, strings] : tables) {
        std::vector<Bytes> stringNodes;
        for (const auto& [key, value] : strings)
            stringNodes.push_back(VersionNode(key, TextValue(value), true, {}));
        tableNodes.push_back(VersionNode(language, {}, true, stringNodes));
    }
    const Bytes fixed(52, 0); // VS_FIXEDFILEINFO; its content does not matter here
    return VersionNode(L"VS_VERSION_INFO", fixed, false,
                       {VersionNode(L"StringFileInfo", {}, true, tableNodes)});
}

// A PE32+ (or PE32) image with one section, .rsrc, holding one resource of `type` whose data
// is `resource`: the type, name and language directories, then the data entry, `gap` bytes of
// other resources' data, and the data.
inline Bytes PeImage(const Bytes& resource, std::uint32_t type = 16, bool pe32Plus = true,
                     std::size_t gap = 0)
{
    constexpr std::size_t kNt = 0x40, kRawData = 0x200;
    constexpr std::uint32_t kRsrcRva = 0x1000;
    const std::size_t optionalSize = pe32Plus ? 240 : 224;
    Bytes image(kRawData, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kNt);
    Put32(image, kNt, 0x00004550); // "PE\0\0"
    const std::size_t fileHeader = kNt + 4;
    Put16(image, fileHeader, pe32Plus ? 0x8664 : 0x14C);
    Put16(image, fileHeader + 2, 1); // one section
    Put16(image, fileHeader + 16, static_cast<std::uint32_t>(optionalSize));
    Put16(image, fileHeader + 18, 0x0022); // an executable, large-address-aware
    const std::size_t optional = fileHeader + 20;
    Put16(image, optional, pe32Plus ? 0x20B : 0x10B);
    Put32(image, optional + (pe32Plus ? 108 : 92), 16); // data directories
    const std::size_t directories = optional + (pe32Plus ? 112 : 96);

    Bytes rsrc(0x58, 0);
    Put16(rsrc, 14, 1); // root: one ID entry, the type
    Put32(rsrc, 16, type);
    Put32(rsrc, 20, 0x80000000u | 0x18);
    Put16(rsrc, 0x18 + 14, 1); // names: one, ID 1
    Put32(rsrc, 0x18 + 16, 1);
    Put32(rsrc, 0x18 + 20, 0x80000000u | 0x30);
    Put16(rsrc, 0x30 + 14, 1); // languages: one, 0x0411, a data entry
    Put32(rsrc, 0x30 + 16, 0x0411);
    Put32(rsrc, 0x30 + 20, 0x48);
    Put32(rsrc, 0x48, static_cast<std::uint32_t>(kRsrcRva + 0x58 + gap)); // data: where, how much
    Put32(rsrc, 0x48 + 4, static_cast<std::uint32_t>(resource.size()));
    rsrc.resize(rsrc.size() + gap, 0xEE);
    rsrc.insert(rsrc.end(), resource.begin(), resource.end());
    Pad4(rsrc);

    Put32(image, directories + 2 * 8, kRsrcRva);
    Put32(image, directories + 2 * 8 + 4, static_cast<std::uint32_t>(rsrc.size()));
    const std::size_t section = optional + optionalSize;
    const char name[8] = {'.', 'r', 's', 'r', 'c'};
    for (int i = 0; i < 8; ++i)
        image[section + i] = static_cast<std::uint8_t>(name[i]);
    Put32(image, section + 8, static_cast<std::uint32_t>(rsrc.size())); // virtual size
    Put32(image, section + 12, kRsrcRva);
    Put32(image, section + 16, static_cast<std::uint32_t>(rsrc.size())); // raw size
    Put32(image, section + 20, kRawData);
    image.insert(image.end(), rsrc.begin(), rsrc.end());
    return image;
}

} // namespace zn::testing
