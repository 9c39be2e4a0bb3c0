#include "window/layout.h"

#include "window/registration_texts.h"

#include <algorithm>
#include <cmath>

namespace zn {

const std::array<ControlLayout, 5> kControls{{
    {kText1, ControlKind::TextBox, L"", {60, 120, 4515, 315}, true, ControlFont::WindowDefault},
    {kLabel1, ControlKind::Label, kDropHint, {60, 480, 2520, 405}, true, ControlFont::DropHint},
    {kCmdYes,
     ControlKind::Button,
     kYesCaption,
     {2760, 1260, 855, 435},
     false,
     ControlFont::WindowDefault},
    {kCmdNo,
     ControlKind::Button,
     kNoCaption,
     {3660, 1260, 855, 435},
     false,
     ControlFont::WindowDefault},
    {kLabel2,
     ControlKind::Label,
     kWaitingMessage,
     {60, 780, 4455, 795},
     true,
     ControlFont::Message},
}};

std::size_t IndexOf(ControlId id)
{
    const auto it = std::find_if(kControls.begin(), kControls.end(),
                                 [id](const ControlLayout& control) { return control.id == id; });
    return static_cast<std::size_t>(it - kControls.begin());
}

const ControlLayout& LayoutOf(ControlId id)
{
    return kControls[IndexOf(id)];
}

int TwipsToPixels(float twips, int dpi)
{
    const double exact = static_cast<double>(twips) * dpi / 1440.0;
    return static_cast<int>(exact < 0 ? -std::floor(-exact + 0.5) : std::floor(exact + 0.5));
}

PixelRect ToClientPixels(const TwipsRect& twips, int dpi)
{
    const int clientWidth = TwipsToPixels(kClientWidthTwips, dpi);
    const int clientHeight = TwipsToPixels(kClientHeightTwips, dpi);
    PixelRect rect{TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
                   TwipsToPixels(twips.width, dpi), TwipsToPixels(twips.height, dpi)};
    rect.left = std::clamp(rect.left, 0, clientWidth);
    rect.top = std::clamp(rect.top, 0, clientHeight);
    rect.width = std::clamp(rect.width, 0, clientWidth - rect.left);
    rect.height = std::clamp(rect.height, 0, clientHeight - rect.top);
    return rect;
}

} // namespace zn
