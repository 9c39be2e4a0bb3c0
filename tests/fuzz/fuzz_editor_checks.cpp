// The launcher's checks of the editor: whether the setting's text is a full path (and its
// "\\?\" form, through which a long one is opened), and whether the file's first bytes are a
// Windows program.
//
// Input: a mode byte. Bit 0 clear: the setting's text (a length byte, then UTF-16LE units) and
// a suffix (all units left). Bit 0 set: a file's first bytes (all that is left).
#include "fuzz_support.h"

#include "common/full_path.h"
#include "common/little_endian.h"
#include "common/pe_image.h"

#include <string>
#include <vector>

namespace zn {
namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The "\\?\" form of a full path: full, in that form, with "\" alone between its names and no
// "." or ".." name left, and itself again when converted twice.
void CheckExtendedLength(const std::wstring& path)
{
    const std::wstring extended = ExtendedLengthPath(path);
    if (!IsFullPath(path) || path.substr(2).starts_with(L"?\\")) {
        ZN_CHECK(extended == path);
        return;
    }
    ZN_CHECK(extended.starts_with(L"\\\\?\\") && IsFullPath(extended));
    ZN_CHECK(ExtendedLengthPath(extended) == extended);
    ZN_CHECK(extended.find(L'/') == std::wstring::npos);
    const std::wstring_view names = std::wstring_view(extended).substr(4);
    ZN_CHECK(names.find(L"\\\\") == std::wstring_view::npos);
    for (const std::wstring_view dots : {L"\\.\\", L"\\..\\"})
        ZN_CHECK((std::wstring(names) + L"\\").find(dots) == std::wstring::npos);
}

void CheckFullPath(const std::wstring& path, const std::wstring& suffix)
{
    CheckExtendedLength(path);
    if (!IsFullPath(path)) return;
    // A drive and a folder, or two separators (UNC or "\\?\"): nothing that leans on the
    // current drive or folder.
    const bool drive =
        path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]) &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    ZN_CHECK(drive || (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])));
    ZN_CHECK(!path.starts_with(L"\\\\.\\") && !path.starts_with(L"//./")); // no device
    // More text after a full path names something inside it: still a full path.
    ZN_CHECK(IsFullPath(path + suffix));
    // The system's own long forms of the same path are full too.
    if (drive)
        ZN_CHECK(IsFullPath(L"\\\\?\\" + path));
    else if (path[2] != L'?')
        ZN_CHECK(IsFullPath(L"\\\\?\\UNC\\" + path.substr(2)));
}

void CheckProgramImage(std::span<const std::uint8_t> head)
{
    if (!IsProgramImage(head)) return;
    ZN_CHECK(head.size() >= 0x40 && head[0] == 'M' && head[1] == 'Z');
    const std::uint32_t nt = *ReadU32(head, 0x3C);
    ZN_CHECK(ReadU32(head, nt) == 0x00004550u);
    const auto characteristics = ReadU16(head, std::size_t{nt} + 4 + 18);
    const auto magic = ReadU16(head, std::size_t{nt} + 4 + 20);
    ZN_CHECK(characteristics && magic && (*magic == 0x10B || *magic == 0x20B));
    // More of the same file cannot undo what its start already showed.
    std::vector<std::uint8_t> longer(head.begin(), head.end());
    longer.resize(longer.size() + 64, 0xCC);
    ZN_CHECK(IsProgramImage(longer));
    // A DLL, or an image not marked executable, is no program.
    std::vector<std::uint8_t> changed(head.begin(), head.end());
    const std::size_t flags = std::size_t{nt} + 4 + 18;
    changed[flags + 1] |= 0x20; // IMAGE_FILE_DLL
    ZN_CHECK(!IsProgramImage(changed));
    changed.assign(head.begin(), head.end());
    changed[flags] &= static_cast<std::uint8_t>(~0x02); // IMAGE_FILE_EXECUTABLE_IMAGE
    ZN_CHECK(!IsProgramImage(changed));
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    fuzz::Reader in(data, size);
    if ((in.Byte() & 1) == 0) {
        const std::wstring path = in.Text();
        CheckFullPath(path, in.RestText());
    } else {
        CheckProgramImage(in.Rest());
    }
    return 0;
}
