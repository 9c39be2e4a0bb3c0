// Installing the program in Notepad's place, either way (see install_kind.h), and putting the
// copy over notepad.exe back; the redirection's own steps are in redirection.h.
//
// The copy install and its removal lose no file: whatever notepad.exe, notepad.met and notepad.ex_
// held before, unless it was this program, still exists somewhere afterwards, and a backup is only
// ever made from a Windows program that is not this one. So notepad.exe is replaced only when it is
// this program or the backup holds its bytes, and each refusal is reported before its step changes
// anything.
#pragma once

#include "setup/install_kind.h"
#include "setup/redirection.h"
#include "setup/setup_host.h"

#include <optional>
#include <string>
#include <string_view>

namespace zn {

struct SetupPaths {
    std::wstring folder; // the Windows folder, where new copies of the program are written first
    std::wstring
        notepad; // <Windows>\notepad.exe: the system Notepad, or this program once installed
    std::wstring backup; // <Windows>\notepad.met: the saved system Notepad; its presence means a
                         // copy install
    std::wstring staged; // <Windows>\notepad.ex_: a system Notepad put aside, taken as the backup
    RedirectPaths redirect; // the other way, where the system protects notepad.exe
};

// What is installed is always the image this process runs from (SetupHost::HoldRunningImage),
// never a file found again by its name.
SetupPaths MakeSetupPaths(std::wstring_view windowsFolder);

// Puts the backup back in notepad.exe's place in one step, over this program or where
// notepad.exe is missing; where notepad.exe holds the backup's own bytes already, only deletes
// the backup. Refuses anything else in notepad.exe, and a backup that is no Windows program or
// is this program.
void Uninstall(SetupHost& host, const SetupPaths& paths);

// Asks; on Yes installs the way the system allows and returns it; nullopt when the user
// declined (then nothing is touched). Where the system protects notepad.exe, the redirection
// (see redirection.h): notepad.exe untouched, no backup. Elsewhere the copy over notepad.exe:
// the backup is made when there is none, then a fresh copy of the program is renamed over
// notepad.exe.
// The backup is notepad.ex_ when that is a Windows program other than this one (and notepad.exe
// is this program, missing, or the same program), else a copy of notepad.exe, which must then
// be such a program. Two different programs in notepad.ex_ and notepad.exe are refused: which
// is the system's is not for set-up to guess.
std::optional<InstallKind> Install(SetupHost& files, RedirectHost& system, const SetupPaths& paths);

} // namespace zn
