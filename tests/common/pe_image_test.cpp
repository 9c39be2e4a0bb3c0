#include "common/pe_image.h"

#include "common/pe_image_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace zn {
namespace {

using testing::Bytes;
using testing::PeImage;
using testing::Put16;
using testing::Put32;

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

TEST(ProgramImage, OnlyAnExecutablePeImageIsAProgram)
{
    const Bytes program = PeImage({});
    Bytes dll = program;
    Put16(dll, 0x40 + 4 + 18, 0x2022);
    Bytes notExecutable = program;
    Put16(notExecutable, 0x40 + 4 + 18, 0x0020);
    Bytes romImage = program;
    Put16(romImage, 0x40 + 4 + 20, 0x107);
    Bytes signatureOutside = program;
    Put32(signatureOutside, 0x3C, static_cast<std::uint32_t>(program.size() - 2));
    Bytes hugeOffset = program;
    Put32(hugeOffset, 0x3C, 0xFFFFFFFFu);
    const Bytes stubOnly(program.begin(), program.begin() + 0x40);

    const struct {
        const char* why;
        Bytes head;
        bool program;
    } rows[] = {
        {"a PE32+ program", program, true},
        {"a PE32 program", PeImage({}, 16, false), true},
        {"a DLL", dll, false},
        {"an image not marked executable", notExecutable, false},
        {"an optional header of another kind", romImage, false},
        {"the signature cut off at the end", signatureOutside, false},
        {"a signature offset beyond any file", hugeOffset, false},
        {"the MS-DOS stub alone", stubOnly, false},
        {"an empty file", {}, false},
        {"a batch file", Text("@echo off\r\nstart notepad %*\r\n"), false},
        {"a text starting MZ", Text("MZ is what a program starts with, but this is a text file."),
         false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsProgramImage(row.head), row.program) << row.why;
}

} // namespace
} // namespace zn
