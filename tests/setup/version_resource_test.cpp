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

// Any build of the program names itself so; a program that borrows one of the names does not
// become this program.
TEST(VersionResource, OnlyBothNamesMakeThisProgram)
{
    const std::wstring ours = L"ZanvekNotepad";
    const struct {
        const char* why;
        Bytes info;
        bool thisProgram;
    } rows[] = {
        {"both names",
         VersionInfo({{L"041104B0", {{L"InternalName", ours}, {L"ProductName", ours}}}}), true},
        {"in two tables",
         VersionInfo(
             {{L"040904B0", {{L"ProductName", ours}}}, {L"041104B0", {{L"InternalName", ours}}}}),
         true},
        {"the internal name only", VersionInfo({{L"041104B0", {{L"InternalName", ours}}}}), false},
        {"the product name only", VersionInfo({{L"041104B0", {{L"ProductName", ours}}}}), false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NamesThisProgram(row.info), row.thisProgram) << row.why;
}

// The launcher reads every editor's version resource before starting it: a few small pieces,
// never the whole file, however large it is or whatever its tables claim.
TEST(VersionResource, IsReadInBoundedPiecesWhateverTheFileClaims)
{
    const Bytes info = VersionInfo({{L"041104B0", {{L"InternalName", L"x"}}}});
    Bytes manyEntries = PeImage(info, 16, true, 0x80000);
    Put16(manyEntries, 0x200 + 14, 0xFFFF); // the root directory claims 65,535 types
    Bytes hugeData = PeImage(info);
    Put32(hugeData, 0x200 + 0x48 + 4, 0xFFFFFFF0u); // and here 4 GiB of version data
    Bytes manySections = PeImage(info);
    Put16(manySections, 0x40 + 4 + 2, 0xFFFF);
    const struct {
        const char* why;
        Bytes image;
        bool found;
    } rows[] = {
        {"the version data behind 8 MiB of other resources", PeImage(info, 16, true, 0x800000),
         true},
        {"a directory of 65,535 entries", manyEntries, true},
        {"version data of 4 GiB", hugeData, false},
        {"65,535 sections", manySections, false},
    };
    for (const auto& row : rows) {
        std::size_t requested = 0, calls = 0;
        const auto found = FindVersionResource([&](std::uint64_t offset, std::size_t size) {
            requested += size;
            ++calls;
            if (offset >= row.image.size()) return Bytes();
            const auto from = row.image.begin() + static_cast<std::ptrdiff_t>(offset);
            return Bytes(from, from + static_cast<std::ptrdiff_t>(
                                          std::min<std::size_t>(size, row.image.size() - offset)));
        });
        EXPECT_EQ(found == info, row.found) << row.why;
        EXPECT_LE(requested, kMostVersionResourceReads) << row.why;
        EXPECT_LE(calls, 16u) << row.why;
    }
}

} // namespace
} // namespace zn
