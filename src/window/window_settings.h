// How the registration window is opened: how its text box takes a drop, and what it does once
// an editor is stored. Main chooses them from who opens the window (startup/main.h).
#pragma once

#include "setup/install_kind.h"

namespace zn {

enum class DropMode {
    // An OLE drop target: drops from any program that runs at the window's level.
    Ole,
    // Explorer's classic file drop (WM_DROPFILES), let through to an elevated window. Windows
    // blocks OLE drag and drop from Explorer into an elevated window, and Explorer never falls
    // back from a registered OLE target to the classic drop.
    Classic,
};

struct WindowSettings {
    InstallKind kind = InstallKind::Copy; // the installation the confirmation tells the user of
    DropMode drop = DropMode::Ole;
    // Once an editor is stored, offer the Settings page where the user can make this program
    // the one that opens text files: an app such as the packaged Notepad is started without any
    // notepad.exe, so the redirection never reaches it.
    bool offerDefaultApp = false;
    friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

} // namespace zn
