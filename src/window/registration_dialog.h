// The registration window's dialogue, kept as the state its controls show, apart from any
// window: the Win32 window copies this state to its controls after every event.
//
//   Waiting    after Load: Label2 asks for a drop; Yes hidden; No reads "Close"
//   Asking     after a drop that leaves an executable's name in Text1: Label2 asks whether to
//              register it; Yes visible; No reads "No"
//   Registered after Yes stored the text: Label2 confirms, with the note about the kind of
//              installation; Yes hidden; No reads "Close", 150 twips lower and 150 twips
//              shorter than at creation
// A Yes that stored nothing (the text is no full path, or the store failed) stays in Asking,
// and Label2 says so and why.
#pragma once

#include "setup/install_kind.h"
#include "window/layout.h"

#include <cstdint>
#include <functional>
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

// Stores the path as the editor setting. Returns nullopt when it was stored, otherwise why it
// was not, worded for the user ("理由: ...").
using StorePath = std::function<std::optional<std::wstring>(const std::wstring& path)>;

class RegistrationDialog {
public:
    // The controls as they are created; `kind` is the installation the confirmation tells of.
    explicit RegistrationDialog(InstallKind kind = InstallKind::Copy);

    const DialogView& View() const { return m_view; }

    void Load();

    // A drop on Text1. Only a drop that allows exactly every effect (7) and carries a file list
    // puts the first file's path into `text1`; any drop then tests `text1`, whatever its origin.
    void Drop(std::wstring& text1, std::int32_t effect,
              const std::optional<std::vector<std::wstring>>& files);

    // Yes: stores `text1` through `store` when it is a full path, and never stores anything
    // else (the launcher would look for such an editor in whatever folder it was started from).
    // True when it was stored.
    bool Yes(const std::wstring& text1, const StorePath& store);

private:
    bool NotStored(std::wstring_view reason);

    InstallKind m_kind;
    DialogView m_view;
};

} // namespace zn
