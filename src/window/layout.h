// The registration window's fixed layout, in twips (1/1440 inch) from the top-left corner of
// the client area, and its one conversion to pixels.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zn {

struct TwipsRect { // single precision, as the layout's values are given
    float left, top, width, height;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

struct PixelRect {
    int left, top, width, height;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

enum class ControlKind { TextBox, Label, Button };

// A label's font: a face and a size, weight 400 (normal), character set 128 (Shift-JIS).
struct LabelFont {
    std::wstring_view face;
    int hundredthsOfPoint;
};

// The labels' face, asked for by its English family name: Windows matches that name in every
// display language (the Japanese one, "ＭＳ Ｐゴシック", names the same font but may go unmatched
// outside a Japanese system, and the font mapper would then take another font by character set).
inline constexpr std::wstring_view kLabelFace = L"MS PGothic";
// The drop hint's font, 14.25 points.
inline constexpr LabelFont kDropHintFont{kLabelFace, 1425};
// Label2's messages: the confirmation (a long file name, then a line break and a long note)
// must fit in the label beside the buttons. In this face and size it does, for file names of
// up to about 19 characters, at 96, 120 and 144 dpi; the window's default font is too large.
inline constexpr LabelFont kMessageFont{kLabelFace, 800};

enum class ControlFont { WindowDefault, DropHint, Message };

enum ControlId : int { // not IDOK/IDCANCEL (1, 2): neither button is default or cancel
    kText1 = 101,
    kLabel1 = 102,
    kCmdYes = 103,
    kCmdNo = 104,
    kLabel2 = 105,
};

struct ControlLayout {
    ControlId id;
    ControlKind kind;
    std::wstring_view text; // at creation
    TwipsRect twips;
    bool visible; // at creation
    ControlFont font;
};

inline constexpr float kClientWidthTwips = 4545;
inline constexpr float kClientHeightTwips = 1695;

// In tab order (the order they are created in); labels hold a place but never take the focus.
extern const std::array<ControlLayout, 5> kControls;

// A control's place in kControls (every ControlId has one), and its layout.
std::size_t IndexOf(ControlId id);
const ControlLayout& LayoutOf(ControlId id);

// 1440 twips an inch; rounds half away from zero, as MulDiv does.
int TwipsToPixels(float twips, int dpi);

// A control's rectangle in pixels, cut to the client area (Text1 reaches 30 twips beyond it).
PixelRect ToClientPixels(const TwipsRect& twips, int dpi);

} // namespace zn
