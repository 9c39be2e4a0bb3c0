#include "setup/version_resource.h"

#include "common/pe_image_builder.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using namespace zn::testing;

const Bytes kOurs = VersionInfo({{L"041104B0",
                                  {{L"FileVersion", L"1.01"},
                                   {L"InternalName", L"ZanvekNotepad"},
                                   {L"OriginalFilename", L"ZanvekNotepad.exe"}}}});

TEST(VersionResource, IsFoundInPe32PlusAndPe32Images)
{
    for (const bool pe32Plus : {true, false}) {
        const Bytes image = PeImage(kOurs, 16, pe32Plus);
        const auto found = FindVersionResource(image);
        EXPECT_EQ(Bytes(found.begin(), found.end()), kOurs) << pe32Plus;
        EXPECT_EQ(FindVersionString(found, L"InternalName"), L"ZanvekNotepad");
        EXPECT_EQ(FindVersionString(found, L"OriginalFilename"), L"ZanvekNotepad.exe");
        EXPECT_EQ(FindVersionString(found, L"FileVersion"), L"1.01");
        EXPECT_EQ(FindVersionString(found, L"CompanyName"), std::nullopt);
    }
}

TEST(VersionResource, StringsOfAnyTableAndEmptyValues)
{
    const Bytes info =
        VersionInfo({{L"040904B0", {{L"ProductName", L"Other"}}},
                     {L"041104B0", {{L"InternalName", L"ZanvekNotepad"}, {L"Comments", L""}}}});
    EXPECT_EQ(FindVersionString(info, L"InternalName"), L"ZanvekNotepad");
    EXPECT_EQ(FindVersionString(info, L"ProductName"), L"Other");
    EXPECT_EQ(FindVersionString(info, L"Comments"), L"");
}

TEST(VersionResource, ImagesWithoutOneGiveNothing)
{
    EXPECT_TRUE(FindVersionResource(PeImage(kOurs, 14)).empty()); // only an icon group
    EXPECT_TRUE(FindVersionResource(Bytes{}).empty());
    Bytes notPe = PeImage(kOurs);
    notPe[0x40] = 'N'; // the signature
    EXPECT_TRUE(FindVersionResource(notPe).empty());
    Bytes wrongMagic = PeImage(kOurs);
    wrongMagic[0x40 + 24] = 0x07;
    EXPECT_TRUE(FindVersionResource(wrongMagic).empty());
    // A version block under another root key is not a version resource.
    EXPECT_EQ(FindVersionString(VersionNode(L"SOMETHING", {}, false, {}), L"InternalName"),
              std::nullopt);
}

TEST(VersionResource, EveryTruncationIsSafeAndFindsNothingItCannotReadWhole)
{
    const Bytes image = PeImage(kOurs);
    for (std::size_t size = 0; size < image.size(); ++size) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
        const auto found = FindVersionResource(cut);
        EXPECT_TRUE(found.empty()) << size; // the version data ends the image
    }
    for (std::size_t size = 0; size < kOurs.size(); ++size) {
        const Bytes cut(kOurs.begin(), kOurs.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_NE(FindVersionString(cut, L"InternalName"), L"ZanvekNotepa")
            << size; // never half a value
    }
}

} // namespace
} // namespace zn
