#include "setup/setup_sequence.h"

#include "common/app_error.h"
#include "setup/program_copy.h"
#include "setup/prompts.h"

namespace zn {

std::optional<InstallKind> RunSetupSequence(SetupHost& files, RedirectHost& system,
                                            const SetupPaths& paths)
{
    // What is installed is the image running now, whatever happens to its file meanwhile.
    files.HoldRunningImage();
    // Taken before the first prompt: two set-ups answered together would both find no backup,
    // and the second would save the first one's copy of this program as the system Notepad.
    const std::unique_ptr<SetupLock> lock = files.LockSetup();
    if (!lock) {
        Fail(kErrorSetupRunning,
             L"ZanvekNotepad のセットアップが既に実行中のため、何も変更しませんでした。", {},
             L"実行中のセットアップを終えてから、もう一度実行してください。");
    }
    if (RestoreCopySetAside(files, system, paths.redirect)) RemoveLeftovers(files, paths.folder);
    const bool installed =
        files.IsFile(paths.backup) || RedirectInstalled(files, system, paths.redirect);
    if (installed && files.AskYesNo(kRemovePromptText, kRemovePromptTitle)) {
        RemoveRedirect(files, system, paths.redirect);
        if (files.IsFile(paths.backup)) Uninstall(files, paths);
    }
    return Install(files, system, paths);
}

} // namespace zn
