// The registration window's dialogue, kept as the state its controls show, apart from any
// window: the Win32 window copies this state to its controls after every event.
//
//   Waiting    after Load: Label2 asks for a drop; Yes hidden; No reads "Close"
//   Asking     after a drop that leaves an executable's name in Text1: Label2 asks whether to
//              register it; Yes visible; No reads "No"
//   Registered after Yes stored the text: Label2 confirms; Yes hidden; No reads "Close", 150
//              twips lower and 150 twips shorter than at creation
// A Yes whose store failed stays in Asking and says so in Label2.
#pragma once

#include "window/layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zn {

struct DialogView {
    std::wstring label2;
    bool yesVisible = false;
    std::wstring noCaption;
    bool noVisible = false;
    TwipsRect noRect{};
    friend bool operator==(const DialogView&, const DialogView&) = default;
};

// The drop effects a drag source can allow: copy 1, move 2, link 4.
inline constexpr std::int32_t kAllDropEffects = 7;

class RegistrationDialog {
public:
    RegistrationDialog(); // the controls as they are created

    const DialogView& View() const { return m_view; }

    void Load();

    // A drop on Text1. Only a drop that allows exactly every effect (7) and carries a file list
    // puts the first file's path into `text1`; any drop then tests `text1`, whatever its origin.
    void Drop(std::wstring& text1, std::int32_t effect,
              const std::optional<std::vector<std::wstring>>& files);

    // After Yes: `stored` tells whether `text1` was stored as the editor setting.
    void Confirmed(const std::wstring& text1, bool stored);

private:
    DialogView m_view;
};

} // namespace zn
