#include "window/layout.h"

#include <gtest/gtest.h>

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

TEST(Layout, AtFifteenTwipsAPixelEveryControlIsWholePixelsAndText1IsCutAtTheClientEdge)
{
    const struct {
        ControlId id;
        PixelRect pixels;
    } rows[] = {
        {kText1, {4, 8, 299, 21}}, // 301 wide in twips terms, 2 beyond the client area
        {kLabel1, {4, 32, 168, 27}}, {kCmdYes, {184, 84, 57, 29}},
        {kCmdNo, {244, 84, 57, 29}}, {kLabel2, {4, 52, 297, 53}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ToClientPixels(LayoutOf(row.id).twips, 96), row.pixels) << row.id;
}

TEST(Layout, EveryControlStaysInsideTheClientAreaAtCommonDpis)
{
    for (const int dpi : {96, 120, 144, 168, 192}) {
        const int width = TwipsToPixels(kClientWidthTwips, dpi);
        const int height = TwipsToPixels(kClientHeightTwips, dpi);
        for (const ControlLayout& control : kControls) {
            const PixelRect rect = ToClientPixels(control.twips, dpi);
            EXPECT_GE(rect.left, 0);
            EXPECT_GE(rect.top, 0);
            EXPECT_GT(rect.width, 0) << control.id << " at " << dpi;
            EXPECT_GT(rect.height, 0) << control.id << " at " << dpi;
            EXPECT_LE(rect.left + rect.width, width) << control.id << " at " << dpi;
            EXPECT_LE(rect.top + rect.height, height) << control.id << " at " << dpi;
        }
    }
}

TEST(Layout, ControlsAreInTabOrderWithTheirTextsAndVisibility)
{
    ASSERT_EQ(kControls.size(), 5u);
    const ControlId order[] = {kText1, kLabel1, kCmdYes, kCmdNo, kLabel2};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(kControls[i].id, order[i]);
    EXPECT_EQ(LayoutOf(kLabel1).text, L"↑\"*.exe\"をドロップ");
    EXPECT_EQ(LayoutOf(kLabel2).text, L"メモ帳のかわりに起動したいエディタをドロップしてください");
    EXPECT_FALSE(LayoutOf(kCmdYes).visible);
    EXPECT_FALSE(LayoutOf(kCmdNo).visible);
    EXPECT_TRUE(LayoutOf(kText1).visible);
}

} // namespace
} // namespace zn
