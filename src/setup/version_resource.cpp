#include "setup/version_resource.h"

#include "common/little_endian.h"
#include "resources/names.h"

#include <algorithm>
#include <vector>

namespace zn {
namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kMostSections = 96;       // the most the Windows loader accepts
constexpr std::size_t kMostEntriesScanned = 1024; // of one directory; real files have a few
constexpr std::size_t kMostVersionBytes = 0xFFFF; // a VS_VERSIONINFO counts its length in 16 bits

// The file, read piece by piece: each piece whole or not at all.
class Image {
public:
    explicit Image(const ReadAt& read) : m_read(&read) {}

    std::optional<std::vector<std::uint8_t>> Bytes(std::uint64_t offset, std::size_t size) const
    {
        std::vector<std::uint8_t> bytes = (*m_read)(offset, size);
        if (bytes.size() < size) return std::nullopt;
        bytes.resize(size);
        return bytes;
    }

private:
    const ReadAt* m_read;
};

// Where a PE image keeps its sections and its resources.
struct PeHeaders {
    std::uint64_t sectionTable = 0;
    std::uint32_t sectionCount = 0;
    std::uint32_t resourceRva = 0; // of the resource directory; never 0
};

std::optional<PeHeaders> ReadPeHeaders(const Image& image)
{
    const auto dos = image.Bytes(0, 0x40);
    if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
    const std::uint64_t nt = *ReadU32(*dos, 0x3C);
    const auto file = image.Bytes(nt, 4 + 20);
    if (!file || ReadU32(*file, 0) != 0x00004550u) return std::nullopt; // "PE\0\0"
    const std::uint16_t sectionCount = *ReadU16(*file, 4 + 2);
    const std::uint16_t optionalSize = *ReadU16(*file, 4 + 16);
    const std::uint64_t optionalAt = nt + 4 + 20;
    // The optional header up to the resource table's entry, the third of the data directories.
    const auto magic = image.Bytes(optionalAt, 2);
    if (!magic || (ReadU16(*magic, 0) != 0x10B && ReadU16(*magic, 0) != 0x20B)) return std::nullopt;
    const bool pe32Plus = ReadU16(*magic, 0) == 0x20B;
    const std::size_t countAt = pe32Plus ? 108 : 92;
    const std::size_t resourceAt = (pe32Plus ? 112 : 96) + 2 * 8;
    if (resourceAt + 8 > optionalSize) return std::nullopt;
    const auto optional = image.Bytes(optionalAt, resourceAt + 8);
    if (!optional) return std::nullopt;
    const std::uint32_t directoryCount = *ReadU32(*optional, countAt);
    const std::uint32_t rsrcRva = *ReadU32(*optional, resourceAt);
    if (directoryCount <= 2 || rsrcRva == 0 || sectionCount > kMostSections) return std::nullopt;
    return PeHeaders{optionalAt + optionalSize, sectionCount, rsrcRva};
}

// The resource section from the resource directory on: where it starts in the file, how many
// bytes of it the section holds there, and the address it is loaded at.
struct ResourceArea {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t rva = 0;
};

std::optional<ResourceArea> FindResourceArea(const Image& image, const PeHeaders& headers)
{
    const auto table = image.Bytes(headers.sectionTable, std::size_t{headers.sectionCount} * 40);
    if (!table) return std::nullopt;
    for (std::uint32_t i = 0; i < headers.sectionCount; ++i) {
        const std::size_t header = static_cast<std::size_t>(i) * 40;
        const std::uint32_t virtualSize = *ReadU32(*table, header + 8);
        const std::uint32_t virtualAddress = *ReadU32(*table, header + 12);
        const std::uint32_t rawSize = *ReadU32(*table, header + 16);
        const std::uint32_t rawOffset = *ReadU32(*table, header + 20);
        const std::uint64_t extent = std::max(virtualSize, rawSize);
        const std::uint32_t rva = headers.resourceRva;
        if (rva < virtualAddress || rva >= virtualAddress + extent) continue;
        const std::uint32_t start = rva - virtualAddress;
        if (start >= rawSize) return std::nullopt;
        return ResourceArea{std::uint64_t{rawOffset} + start, rawSize - start, rva};
    }
    return std::nullopt;
}

// The directory entry to follow at one level of the resource tree: the entry with `id`, or the
// first entry when `id` is nullopt. Returns its offset field.
std::optional<std::uint32_t> ResourceEntry(const Image& image, const ResourceArea& area,
                                           std::uint32_t directory, std::optional<std::uint32_t> id)
{
    if (std::uint64_t{directory} + 16 > area.size) return std::nullopt;
    const auto header = image.Bytes(area.offset + directory, 16);
    if (!header) return std::nullopt;
    const std::uint16_t named = *ReadU16(*header, 12);
    const std::uint16_t ids = *ReadU16(*header, 14);
    // Named entries come first; an id is looked for among the others.
    const std::size_t first = id ? named : 0;
    const std::size_t count = id ? std::min<std::size_t>(ids, kMostEntriesScanned)
                                 : std::min<std::size_t>(std::size_t{named} + ids, 1);
    const std::uint64_t entriesAt = std::uint64_t{directory} + 16 + first * 8;
    if (count == 0 || entriesAt + count * 8 > area.size) return std::nullopt;
    const auto entries = image.Bytes(area.offset + entriesAt, count * 8);
    if (!entries) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        if (!id || ReadU32(*entries, i * 8) == *id) return *ReadU32(*entries, i * 8 + 4);
    }
    return std::nullopt;
}

// The data entry of the first version resource: type RT_VERSION, then its first name, then
// its first language. Subdirectory offsets carry the high bit; the language level's entry is
// a data entry, which does not.
std::optional<std::uint32_t> VersionDataEntry(const Image& image, const ResourceArea& area)
{
    std::uint32_t directory = 0;
    for (const std::optional<std::uint32_t> id :
         {std::optional<std::uint32_t>(kRtVersion), std::optional<std::uint32_t>()}) {
        const auto offset = ResourceEntry(image, area, directory, id);
        if (!offset || !(*offset & kSubdirectory)) return std::nullopt;
        directory = *offset & ~kSubdirectory;
    }
    const auto dataEntry = ResourceEntry(image, area, directory, std::nullopt);
    if (!dataEntry || (*dataEntry & kSubdirectory)) return std::nullopt;
    return dataEntry;
}

// The bytes a data entry describes, when they lie inside the resource section; at most as many
// as a VS_VERSIONINFO can count.
std::vector<std::uint8_t> ResourceData(const Image& image, const ResourceArea& area,
                                       std::uint32_t dataEntry)
{
    if (std::uint64_t{dataEntry} + 8 > area.size) return {};
    const auto entry = image.Bytes(area.offset + dataEntry, 8);
    if (!entry) return {};
    const std::uint32_t dataRva = *ReadU32(*entry, 0);
    const std::uint32_t dataSize = *ReadU32(*entry, 4);
    if (dataRva < area.rva || dataSize == 0) return {};
    const std::uint64_t at = dataRva - area.rva;
    if (at > area.size || area.size - at < dataSize) return {};
    auto data = image.Bytes(area.offset + at, std::min<std::size_t>(dataSize, kMostVersionBytes));
    return data ? std::move(*data) : std::vector<std::uint8_t>();
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

std::vector<std::uint8_t> FindVersionResource(const ReadAt& read)
{
    const Image image(read);
    const auto headers = ReadPeHeaders(image);
    if (!headers) return {};
    const auto area = FindResourceArea(image, *headers);
    if (!area) return {};
    const auto entry = VersionDataEntry(image, *area);
    if (!entry) return {};
    return ResourceData(image, *area, *entry);
}

std::vector<std::uint8_t> FindVersionResource(std::span<const std::uint8_t> image)
{
    return FindVersionResource([image](std::uint64_t offset, std::size_t size) {
        if (offset >= image.size()) return std::vector<std::uint8_t>();
        const auto piece = image.subspan(static_cast<std::size_t>(offset))
                               .first(std::min<std::size_t>(
                                   size, image.size() - static_cast<std::size_t>(offset)));
        return std::vector<std::uint8_t>(piece.begin(), piece.end());
    });
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

bool NamesThisProgram(std::span<const std::uint8_t> versionInfo)
{
    return FindVersionString(versionInfo, L"InternalName") == ZN_WIDE(ZN_INTERNAL_NAME) &&
           FindVersionString(versionInfo, L"ProductName") == ZN_WIDE(ZN_PRODUCT_NAME);
}

} // namespace zn
