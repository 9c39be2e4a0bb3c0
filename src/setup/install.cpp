#include "setup/install.h"

#include "common/app_error.h"
#include "setup/prompts.h"

namespace zn {

SetupPaths MakeSetupPaths(std::wstring_view windowsFolder, std::wstring_view ownFolder,
                          std::wstring_view ownBaseName)
{
    const std::wstring w(windowsFolder);
    return {w + L"\\notepad.exe", w + L"\\notepad.met", w + L"\\notepad.ex_",
            std::wstring(ownFolder) + L"\\" + std::wstring(ownBaseName) + L".exe"};
}

void RefuseUnlessThisProgram(SetupHost& host, const std::wstring& path, std::wstring_view notDone)
{
    if (!host.IsFile(path) || host.IsThisProgram(path)) return;
    Fail(kErrorNotOurProgram,
         L"notepad.exe が ZanvekNotepad ではないため、" + std::wstring(notDone), path,
         L"Windows の更新などで入れ替わった可能性があります。notepad.exe と notepad.met "
         L"を確認してください。");
}

Boolean Install(SetupHost& host, const SetupPaths& paths)
{
    if (!host.AskYesNo(kInstallPromptText, kInstallPromptTitle)) return kFalse;
    // An existing backup is the real system Notepad: it is never replaced, so installing
    // twice cannot turn the backup into a copy of this program.
    if (!host.IsFile(paths.backup)) {
        if (host.IsFile(paths.staged)) host.RenameFile(paths.staged, paths.backup);
        // A notepad.exe that is already this program holds no system Notepad to save.
        else if (!host.IsThisProgram(paths.notepad))
            host.CopyFileOver(paths.notepad, paths.backup);
    } else {
        // With the backup taken, whatever else stands in notepad.exe would be lost.
        RefuseUnlessThisProgram(host, paths.notepad, L"置き換えませんでした。");
    }
    host.CopyFileOver(paths.self, paths.notepad);
    return kTrue;
}

} // namespace zn
