#include "window/layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace zn {
namespace {

TEST(Twips, ConvertAtTheSystemsDpiRoundingHalfAwayFromZero)
{
    EXPECT_EQ(TwipsToPixels(1440, 96), 96);
    EXPECT_EQ(TwipsToPixels(1440, 144), 144);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(6, 120), 1); // exactly half a pixel
    EXPECT_EQ(TwipsToPixels(-6, 120), -1);
    EXPECT_EQ(TwipsToPixels(5, 120), 0);
    EXPECT_EQ(TwipsToPixels(0, 96), 0);
    EXPECT_EQ(TwipsToPixels(4545, 96), 303);
    EXPECT_EQ(TwipsToPixels(1695, 96), 113);
}

// cmdNo after a confirmation (150 twips lower and shorter), for the checks that hold for every
// geometry a control can have.
constexpr TwipsRect kNoRegistered{3660, 1410, 855, 285};

bool Overlap(const PixelRect& a, const PixelRect& b)
{
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(Layout, EveryControlIdFindsItsOwnRow)
{
    for (const ControlLayout& control : kControls)
        EXPECT_EQ(&LayoutOf(control.id), &control) << control.id;
}

TEST(Layout, AtFifteenTwipsAPixelEveryGeometryIsWholePixelsAndText1IsCutAtTheClientEdge)
{
    std::vector<TwipsRect> geometries{kNoRegistered};
    for (const ControlLayout& control : kControls)
        geometries.push_back(control.twips);
    const int clientWidth = TwipsToPixels(kClientWidthTwips, 96);
    for (const TwipsRect& twips : geometries) {
        const PixelRect pixels = ToClientPixels(twips, 96);
        EXPECT_EQ(pixels.left * 15, twips.left);
        EXPECT_EQ(pixels.top * 15, twips.top);
        EXPECT_EQ(pixels.height * 15, twips.height);
        if (twips.left + twips.width > kClientWidthTwips)
            EXPECT_EQ(pixels.left + pixels.width, clientWidth); // Text1: cut, not moved
        else
            EXPECT_EQ(pixels.width * 15, twips.width);
    }
}

TEST(Layout, EveryGeometryStaysInsideTheClientAreaAndNoFocusableControlsOverlap)
{
    for (const int dpi : {96, 120, 144, 168, 192}) {
        const int width = TwipsToPixels(kClientWidthTwips, dpi);
        const int height = TwipsToPixels(kClientHeightTwips, dpi);
        std::vector<TwipsRect> geometries{kNoRegistered};
        for (const ControlLayout& control : kControls)
            geometries.push_back(control.twips);
        for (const TwipsRect& twips : geometries) {
            const PixelRect rect = ToClientPixels(twips, dpi);
            EXPECT_GE(rect.left, 0);
            EXPECT_GE(rect.top, 0);
            EXPECT_GT(rect.width, 0) << twips.left << "," << twips.top << " at " << dpi;
            EXPECT_GT(rect.height, 0) << twips.left << "," << twips.top << " at " << dpi;
            EXPECT_LE(rect.left + rect.width, width) << twips.left << " at " << dpi;
            EXPECT_LE(rect.top + rect.height, height) << twips.top << " at " << dpi;
        }
        // A click or the focus must land on one control: the text box and the buttons, with
        // No where it is at creation or after a confirmation, never overlap.
        const PixelRect text1 = ToClientPixels(LayoutOf(kText1).twips, dpi);
        const PixelRect yes = ToClientPixels(LayoutOf(kCmdYes).twips, dpi);
        for (const TwipsRect& noTwips : {LayoutOf(kCmdNo).twips, kNoRegistered}) {
            const PixelRect no = ToClientPixels(noTwips, dpi);
            EXPECT_FALSE(Overlap(text1, yes)) << dpi;
            EXPECT_FALSE(Overlap(text1, no)) << dpi;
            EXPECT_FALSE(Overlap(yes, no)) << noTwips.top << " at " << dpi;
        }
    }
}

} // namespace
} // namespace zn
