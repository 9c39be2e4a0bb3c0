#include "setup/version_resource.h"

#include <algorithm>
#include <vector>

namespace zn {
namespace {

// Little-endian reads that answer nullopt outside the data instead of reading past it.
std::optional<std::uint32_t> U16(std::span<const std::uint8_t> data, std::size_t at)
{
    if (at > data.size() || data.size() - at < 2) return std::nullopt;
    return static_cast<std::uint32_t>(data[at] | data[at + 1] << 8);
}

std::optional<std::uint32_t> U32(std::span<const std::uint8_t> data, std::size_t at)
{
    if (at > data.size() || data.size() - at < 4) return std::nullopt;
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 |
           static_cast<std::uint32_t>(data[at + 3]) << 24;
}

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

// The directory entry to follow at one level of the resource tree: the entry with `id`, or the
// first entry when `id` is nullopt. Returns its offset field.
std::optional<std::uint32_t> ResourceEntry(std::span<const std::uint8_t> rsrc,
                                           std::uint32_t directory, std::optional<std::uint32_t> id)
{
    const auto named = U16(rsrc, directory + 12);
    const auto ids = U16(rsrc, directory + 14);
    if (!named || !ids) return std::nullopt;
    const std::uint32_t count = *named + *ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 16 + static_cast<std::size_t>(i) * 8;
        const auto name = U32(rsrc, entry);
        const auto offset = U32(rsrc, entry + 4);
        if (!name || !offset) return std::nullopt;
        if (!id || (i >= *named && *name == *id)) return offset;
    }
    return std::nullopt;
}

// One node of a VS_VERSIONINFO tree: wLength, wValueLength, wType, a key, then its value and
// children, each 32-bit aligned from the start of the block.
struct Node {
    std::span<const std::uint8_t> block; // the whole node
    std::wstring key;
    std::size_t valueAt = 0;
    std::uint32_t valueLength = 0; // in bytes for binary values, in characters for text
    std::uint32_t type = 0;
    std::size_t childrenAt = 0;
};

std::size_t Align4(std::size_t at)
{
    return (at + 3) & ~std::size_t{3};
}

std::optional<Node> ReadNode(std::span<const std::uint8_t> data)
{
    const auto length = U16(data, 0);
    const auto valueLength = U16(data, 2);
    const auto type = U16(data, 4);
    if (!length || !valueLength || !type || *length < 6 || *length > data.size())
        return std::nullopt;
    Node node{data.first(*length), {}, 0, *valueLength, *type, 0};
    std::size_t at = 6;
    for (;; at += 2) {
        const auto unit = U16(node.block, at);
        if (!unit) return std::nullopt;
        if (*unit == 0) break;
        node.key.push_back(static_cast<wchar_t>(*unit));
    }
    node.valueAt = Align4(at + 2);
    const std::size_t valueBytes = node.type == 1 ? std::size_t{*valueLength} * 2 : *valueLength;
    if (node.valueAt > node.block.size() || node.block.size() - node.valueAt < valueBytes)
        return std::nullopt;
    node.childrenAt = Align4(node.valueAt + valueBytes);
    return node;
}

std::vector<Node> Children(const Node& parent)
{
    std::vector<Node> children;
    for (std::size_t at = parent.childrenAt; at < parent.block.size();) {
        const auto child = ReadNode(parent.block.subspan(at));
        if (!child) break;
        children.push_back(*child);
        at = Align4(at + child->block.size());
    }
    return children;
}

} // namespace

std::span<const std::uint8_t> FindVersionResource(std::span<const std::uint8_t> image)
{
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return {};
    const auto nt = U32(image, 0x3C);
    if (!nt || !U32(image, *nt) || *U32(image, *nt) != 0x00004550) return {}; // "PE\0\0"
    const std::size_t fileHeader = std::size_t{*nt} + 4;
    const auto sectionCount = U16(image, fileHeader + 2);
    const auto optionalSize = U16(image, fileHeader + 16);
    const std::size_t optional = fileHeader + 20;
    const auto magic = U16(image, optional);
    if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) return {};
    const bool pe32Plus = *magic == 0x20B;
    const auto directoryCount = U32(image, optional + (pe32Plus ? 108 : 92));
    if (!directoryCount || *directoryCount <= 2) return {};
    const std::size_t resourceDirectory = optional + (pe32Plus ? 112 : 96) + 2 * 8;
    const auto rsrcRva = U32(image, resourceDirectory);
    if (!rsrcRva || *rsrcRva == 0 || resourceDirectory + 8 > optional + *optionalSize) return {};

    // The section holding the resources, and the file bytes behind it.
    std::span<const std::uint8_t> rsrc;
    std::uint32_t rsrcBase = 0;
    for (std::uint32_t i = 0; i < *sectionCount; ++i) {
        const std::size_t header = optional + *optionalSize + static_cast<std::size_t>(i) * 40;
        const auto virtualSize = U32(image, header + 8);
        const auto virtualAddress = U32(image, header + 12);
        const auto rawSize = U32(image, header + 16);
        const auto rawOffset = U32(image, header + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return {};
        const std::uint64_t extent = std::max(*virtualSize, *rawSize);
        if (*rsrcRva < *virtualAddress || *rsrcRva >= *virtualAddress + extent) continue;
        if (*rawOffset > image.size()) return {};
        const std::size_t available = std::min<std::size_t>(*rawSize, image.size() - *rawOffset);
        const std::size_t start = *rsrcRva - *virtualAddress;
        if (start > available) return {};
        rsrc = image.subspan(*rawOffset + start, available - start);
        rsrcBase = *rsrcRva;
        break;
    }
    if (rsrc.empty()) return {};

    // Type, then name, then language; subdirectory offsets carry the high bit.
    std::uint32_t directory = 0;
    for (const std::optional<std::uint32_t> id :
         {std::optional<std::uint32_t>(kRtVersion), std::optional<std::uint32_t>()}) {
        const auto offset = ResourceEntry(rsrc, directory, id);
        if (!offset || !(*offset & kSubdirectory)) return {};
        directory = *offset & ~kSubdirectory;
    }
    // The language level: its first entry is a data entry, not a subdirectory.
    const auto dataEntry = ResourceEntry(rsrc, directory, std::nullopt);
    if (!dataEntry || (*dataEntry & kSubdirectory)) return {};
    const auto dataRva = U32(rsrc, *dataEntry);
    const auto dataSize = U32(rsrc, *dataEntry + 4);
    if (!dataRva || !dataSize || *dataRva < rsrcBase) return {};
    const std::size_t at = *dataRva - rsrcBase;
    if (at > rsrc.size() || rsrc.size() - at < *dataSize) return {};
    return rsrc.subspan(at, *dataSize);
}

std::optional<std::wstring> FindVersionString(std::span<const std::uint8_t> versionInfo,
                                              std::wstring_view key)
{
    const auto root = ReadNode(versionInfo);
    if (!root || root->key != L"VS_VERSION_INFO") return std::nullopt;
    for (const Node& fileInfo : Children(*root)) {
        if (fileInfo.key != L"StringFileInfo") continue;
        for (const Node& table : Children(fileInfo)) {
            for (const Node& string : Children(table)) {
                if (string.key != key || string.type != 1) continue;
                std::wstring value;
                for (std::uint32_t i = 0; i < string.valueLength; ++i) {
                    const auto unit = U16(string.block, string.valueAt + std::size_t{i} * 2);
                    if (!unit || *unit == 0) break;
                    value.push_back(static_cast<wchar_t>(*unit));
                }
                return value;
            }
        }
    }
    return std::nullopt;
}

} // namespace zn
