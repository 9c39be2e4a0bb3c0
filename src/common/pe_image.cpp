#include "common/pe_image.h"

#include "common/little_endian.h"

namespace zn {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr std::uint16_t kExecutableImage = 0x0002; // IMAGE_FILE_EXECUTABLE_IMAGE
constexpr std::uint16_t kDll = 0x2000;             // IMAGE_FILE_DLL

} // namespace

bool IsProgramImage(std::span<const std::uint8_t> head)
{
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') return false;
    const auto nt = ReadU32(head, 0x3C);
    if (!nt || ReadU32(head, *nt) != kPeSignature) return false;
    const std::size_t fileHeader = std::size_t{*nt} + 4;
    const auto characteristics = ReadU16(head, fileHeader + 18);
    const auto magic = ReadU16(head, fileHeader + 20);
    if (!characteristics || !magic || (*magic != 0x10B && *magic != 0x20B)) return false;
    return (*characteristics & kExecutableImage) != 0 && (*characteristics & kDll) == 0;
}

} // namespace zn
