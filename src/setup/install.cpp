#include "setup/install.h"

namespace zn {

SetupPaths MakeSetupPaths(std::wstring_view windowsFolder, std::wstring_view ownFolder,
                          std::wstring_view ownBaseName)
{
    const std::wstring w(windowsFolder);
    return {w + L"\\notepad.exe", w + L"\\notepad.met", w + L"\\notepad.ex_",
            std::wstring(ownFolder) + L"\\" + std::wstring(ownBaseName) + L".exe"};
}

Boolean Install(SetupHost& host, const SetupPaths& paths)
{
    if (!host.AskYesNo(kInstallPromptText, kInstallPromptTitle)) return kFalse;
    // An existing backup is the real system Notepad: it is never replaced, so installing
    // twice cannot turn the backup into a copy of this program.
    if (!host.IsFile(paths.backup)) {
        if (host.IsFile(paths.staged)) host.RenameFile(paths.staged, paths.backup);
        else host.CopyFileOver(paths.notepad, paths.backup);
    }
    host.CopyFileOver(paths.self, paths.notepad);
    return kTrue;
}

} // namespace zn
