#include "setup/setup_sequence.h"

#include "common/app_error.h"
#include "setup/prompts.h"

namespace zn {

Boolean RunSetupSequence(SetupHost& host, const SetupPaths& paths)
{
    // Taken before the first prompt: two set-ups answered together would both find no backup,
    // and the second would save the first one's copy of this program as the system Notepad.
    const std::unique_ptr<SetupLock> lock = host.LockSetup();
    if (!lock) {
        Fail(kErrorSetupRunning,
             L"ZanvekNotepad のセットアップが既に実行中のため、何も変更しませんでした。", {},
             L"実行中のセットアップを終えてから、もう一度実行してください。");
    }
    if (host.IsFile(paths.backup) && host.AskYesNo(kRemovePromptText, kRemovePromptTitle))
        Uninstall(host, paths);
    return Install(host, paths);
}

} // namespace zn
