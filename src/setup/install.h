// Installing the program over the system Notepad, keeping the system Notepad as the backup file.
#pragma once

#include "common/boolean.h"
#include "setup/setup_host.h"

#include <string>
#include <string_view>

namespace zn {

struct SetupPaths {
    std::wstring
        notepad; // <Windows>\notepad.exe: the system Notepad, or this program once installed
    std::wstring
        backup; // <Windows>\notepad.met: the saved system Notepad; its presence means installed
    std::wstring staged; // <Windows>\notepad.ex_: taken as the backup when there is none yet
    std::wstring self;   // this program: own folder + "\" + own name + ".exe"
};

// The paths from the Windows folder and the program's own folder and file name (without its
// extension). The own executable is always named ".exe"; in a drive's root folder this gives
// two backslashes in a row, which the file functions accept.
SetupPaths MakeSetupPaths(std::wstring_view windowsFolder, std::wstring_view ownFolder,
                          std::wstring_view ownBaseName);

// Asks; on Yes makes the backup when there is none (from notepad.ex_ when it exists, else a
// copy of notepad.exe), then copies the program over notepad.exe. True when it installed,
// false when the user declined (then nothing is touched).
// Never loses a file: it refuses to replace a notepad.exe that is not this program once a
// backup exists (that file would be kept nowhere), and never makes the backup from a copy of
// this program.
Boolean Install(SetupHost& host, const SetupPaths& paths);

// Raises the not-our-program error when `path` is an existing file that is not this program;
// `notDone` says what was left undone ("削除しませんでした。").
void RefuseUnlessThisProgram(SetupHost& host, const std::wstring& path, std::wstring_view notDone);

} // namespace zn
