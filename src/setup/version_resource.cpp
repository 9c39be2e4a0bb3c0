#include "setup/version_resource.h"

#include "common/little_endian.h"

#include <algorithm>
#include <vector>

namespace zn {
namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

// The directory entry to follow at one level of the resource tree: the entry with `id`, or the
// first entry when `id` is nullopt. Returns its offset field.
std::optional<std::uint32_t> ResourceEntry(std::span<const std::uint8_t> rsrc,
                                           std::uint32_t directory, std::optional<std::uint32_t> id)
{
    const auto named = ReadU16(rsrc, directory + 12);
    const auto ids = ReadU16(rsrc, directory + 14);
    if (!named || !ids) return std::nullopt;
    const std::uint32_t count = *named + *ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 16 + static_cast<std::size_t>(i) * 8;
        const auto name = ReadU32(rsrc, entry);
        const auto offset = ReadU32(rsrc, entry + 4);
        if (!name || !offset) return std::nullopt;
        if (!id || (i >= *named && *name == *id)) return offset;
    }
    return std::nullopt;
}

// Where a PE image keeps its sections and its resources.
struct PeHeaders {
    std::size_t sectionTable = 0;
    std::uint32_t sectionCount = 0;
    std::uint32_t resourceRva = 0; // of the resource directory; never 0
};

std::optional<PeHeaders> ReadPeHeaders(std::span<const std::uint8_t> image)
{
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
    const auto nt = ReadU32(image, 0x3C);
    if (!nt || ReadU32(image, *nt) != 0x00004550u) return std::nullopt; // "PE\0\0"
    const std::size_t fileHeader = std::size_t{*nt} + 4;
    const auto sectionCount = ReadU16(image, fileHeader + 2);
    const auto optionalSize = ReadU16(image, fileHeader + 16);
    const std::size_t optional = fileHeader + 20;
    const auto magic = ReadU16(image, optional);
    if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B))
        return std::nullopt;
    const bool pe32Plus = *magic == 0x20B;
    const auto directoryCount = ReadU32(image, optional + (pe32Plus ? 108 : 92));
    if (!directoryCount || *directoryCount <= 2) return std::nullopt;
    const std::size_t resourceDirectory = optional + (pe32Plus ? 112 : 96) + 2 * 8;
    const auto rsrcRva = ReadU32(image, resourceDirectory);
    if (!rsrcRva || *rsrcRva == 0 || resourceDirectory + 8 > optional + *optionalSize)
        return std::nullopt;
    return PeHeaders{optional + *optionalSize, *sectionCount, *rsrcRva};
}

// The file bytes of the resource directory onwards, and the address they are loaded at.
struct ResourceBytes {
    std::span<const std::uint8_t> bytes;
    std::uint32_t rva = 0;
};

std::optional<ResourceBytes> ResourceSection(std::span<const std::uint8_t> image,
                                             const PeHeaders& headers)
{
    for (std::uint32_t i = 0; i < headers.sectionCount; ++i) {
        const std::size_t header = headers.sectionTable + static_cast<std::size_t>(i) * 40;
        const auto virtualSize = ReadU32(image, header + 8);
        const auto virtualAddress = ReadU32(image, header + 12);
        const auto rawSize = ReadU32(image, header + 16);
        const auto rawOffset = ReadU32(image, header + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawOffset) return std::nullopt;
        const std::uint64_t extent = std::max(*virtualSize, *rawSize);
        const std::uint32_t rva = headers.resourceRva;
        if (rva < *virtualAddress || rva >= *virtualAddress + extent) continue;
        if (*rawOffset > image.size()) return std::nullopt;
        const std::size_t available = std::min<std::size_t>(*rawSize, image.size() - *rawOffset);
        const std::size_t start = rva - *virtualAddress;
        if (start > available) return std::nullopt;
        const auto bytes = image.subspan(*rawOffset + start, available - start);
        if (bytes.empty()) return std::nullopt;
        return ResourceBytes{bytes, rva};
    }
    return std::nullopt;
}

// The data entry of the first version resource: type RT_VERSION, then its first name, then
// its first language. Subdirectory offsets carry the high bit; the language level's entry is
// a data entry, which does not.
std::optional<std::uint32_t> VersionDataEntry(std::span<const std::uint8_t> rsrc)
{
    std::uint32_t directory = 0;
    for (const std::optional<std::uint32_t> id :
         {std::optional<std::uint32_t>(kRtVersion), std::optional<std::uint32_t>()}) {
        const auto offset = ResourceEntry(rsrc, directory, id);
        if (!offset || !(*offset & kSubdirectory)) return std::nullopt;
        directory = *offset & ~kSubdirectory;
    }
    const auto dataEntry = ResourceEntry(rsrc, directory, std::nullopt);
    if (!dataEntry || (*dataEntry & kSubdirectory)) return std::nullopt;
    return dataEntry;
}

// The bytes a data entry describes, when they lie inside the resource section.
std::span<const std::uint8_t> ResourceData(const ResourceBytes& rsrc, std::uint32_t dataEntry)
{
    const auto dataRva = ReadU32(rsrc.bytes, dataEntry);
    const auto dataSize = ReadU32(rsrc.bytes, dataEntry + 4);
    if (!dataRva || !dataSize || *dataRva < rsrc.rva) return {};
    const std::size_t at = *dataRva - rsrc.rva;
    if (at > rsrc.bytes.size() || rsrc.bytes.size() - at < *dataSize) return {};
    return rsrc.bytes.subspan(at, *dataSize);
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
    const auto length = ReadU16(data, 0);
    const auto valueLength = ReadU16(data, 2);
    const auto type = ReadU16(data, 4);
    if (!length || !valueLength || !type || *length < 6 || *length > data.size())
        return std::nullopt;
    Node node{data.first(*length), {}, 0, *valueLength, *type, 0};
    std::size_t at = 6;
    for (;; at += 2) {
        const auto unit = ReadU16(node.block, at);
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
    const auto headers = ReadPeHeaders(image);
    if (!headers) return {};
    const auto rsrc = ResourceSection(image, *headers);
    if (!rsrc) return {};
    const auto entry = VersionDataEntry(rsrc->bytes);
    if (!entry) return {};
    return ResourceData(*rsrc, *entry);
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
                    const auto unit = ReadU16(string.block, string.valueAt + std::size_t{i} * 2);
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
