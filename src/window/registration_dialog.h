// The registration window's dialogue, kept as the state its controls show, apart from any
// window: the Win32 window copies this state to its controls after every event.
//
//   Waiting    after Load: Label2 asks for a drop; Yes hidden; No reads "Close"
//   Asking     after a drop that leaves an executable's name in Text1: Label2 asks whether to
//              register it; Yes visible; No reads "No"
//   Registered after Yes stored the text: Label2 confirms, with the note about the kind of
//              installation; Yes hidden; No reads "Close", 150 twips lower and 150 twips
//              shorter than at creation
// Yes stores only what the launcher would start, judged by the launcher's own checks; a Yes
// that stored nothing (refused, or the store failed) stays in Asking, and Label2 says so and
// why. A drop of this program itself, under any name, is refused at once: Label2 says why, and
// the stage stays as it was.
#pragma once

#include "common/editor_check.h"
#include "setup/install_kind.h"
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

// What the file system says of an editor's path (ProbeEditor's answer), or why what is there
// could not be read, worded for the user ("理由: ...").
struct ProbedPath {
    EditorFile file;
    std::optional<std::wstring> unreadable;
};

// What the dialogue asks of the system.
class RegistrationHost {
public:
    virtual ProbedPath Probe(const std::wstring& path) = 0;
    // Stores the path as the editor setting. Returns nullopt when it was stored, otherwise why
    // it was not, worded for the user ("理由: ...").
    virtual std::optional<std::wstring> Store(const std::wstring& path) = 0;

protected:
    ~RegistrationHost() = default;
};

class RegistrationDialog {
public:
    // The controls as they are created; `kind` is the installation the confirmation tells of.
    explicit RegistrationDialog(InstallKind kind = InstallKind::Copy);

    const DialogView& View() const { return m_view; }

    void Load();

    // A drop on Text1. Only a drop that allows exactly every effect (7) and carries a file list
    // puts the first file's path into `text1`; any drop then tests `text1` (without one pair of
    // quotes around the whole), whatever its origin, and the host's probe tells whether it is
    // this program.
    void Drop(std::wstring& text1, std::int32_t effect,
              const std::optional<std::vector<std::wstring>>& files, RegistrationHost& host);

    // Yes: has the host store `text1`, without one pair of quotes around the whole, when the
    // launcher's checks (JudgeEditor, with the host's probe) let it start that editor, and never
    // anything else. True when it was stored.
    bool Yes(const std::wstring& text1, RegistrationHost& host);

private:
    bool NotStored(std::wstring_view reason);

    InstallKind m_kind;
    DialogView m_view;
};

} // namespace zn
