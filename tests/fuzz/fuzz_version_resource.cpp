// Reading the version resource out of a file in the Windows folder, which may be anything.
//
// Input: a mode byte. Bit 0 clear: the rest of the input is a PE image file, taken as it is.
// Bit 0 set: an image is built from the input (bit 1: PE32 instead of PE32+) with one string
// table of up to four strings (each a key and a value, length byte then UTF-16LE units), and
// every string must read back as it was built.
#include "fuzz_support.h"

#include "common/pe_image_builder.h"
#include "setup/version_resource.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace zn {
namespace {

void CheckFound(std::span<const std::uint8_t> image)
{
    const std::vector<std::uint8_t> found = FindVersionResource(image);
    // Whatever it finds is a piece of the file.
    if (!found.empty())
        ZN_CHECK(std::search(image.begin(), image.end(), found.begin(), found.end()) !=
                 image.end());
    for (const std::span<const std::uint8_t> info : {std::span<const std::uint8_t>(found), image}) {
        const auto value = FindVersionString(info, L"InternalName");
        if (value) ZN_CHECK(value->find(L'\0') == std::wstring::npos);
    }
}

void CheckBuilt(fuzz::Reader& in, bool pe32Plus)
{
    std::vector<std::pair<std::wstring, std::wstring>> strings;
    const int count = in.Byte() % 5;
    for (int i = 0; i < count; ++i) {
        std::wstring key = in.Text();
        std::wstring value = in.Text();
        // Keys end at their NUL and values are read up to theirs: neither can hold one.
        std::erase(key, L'\0');
        std::erase(value, L'\0');
        if (key.empty()) key = L"k";
        strings.emplace_back(key, value);
    }
    const testing::Bytes image =
        testing::PeImage(testing::VersionInfo({{L"041104B0", strings}}), 16, pe32Plus);
    const std::vector<std::uint8_t> found = FindVersionResource(image);
    ZN_CHECK(!found.empty());
    for (const auto& [key, value] : strings) {
        // The first string of a key is the one found.
        std::wstring expected;
        for (const auto& [k, v] : strings) {
            if (k == key) {
                expected = v;
                break;
            }
        }
        const auto read = FindVersionString(found, key);
        ZN_CHECK(read.has_value());
        ZN_CHECK(*read == expected);
    }
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zn::fuzz::Reader in(data, size);
    const std::uint8_t mode = in.Byte();
    if (mode & 1)
        zn::CheckBuilt(in, (mode & 2) == 0);
    else
        zn::CheckFound(in.Rest());
    return 0;
}
