// How an installation puts this program in Notepad's place.
#pragma once

namespace zn {

enum class InstallKind {
    Copy,     // notepad.exe in the Windows folder is this program; the system's is notepad.met
    Redirect, // notepad.exe is untouched; the system sends its starts to ZanvekNotepad.exe
};

} // namespace zn
