#include "setup/setup_sequence.h"

#include "setup/prompts.h"

namespace zn {

Boolean RunSetupSequence(SetupHost& host, const SetupPaths& paths)
{
    if (host.IsFile(paths.backup) && host.AskYesNo(kRemovePromptText, kRemovePromptTitle)) {
        // Delete first: the move refuses to replace an existing file. Should the move fail,
        // the system Notepad is still safe as the backup file. Only this program is deleted:
        // anything else in its place (a Notepad put back by an update) exists nowhere else.
        RefuseUnlessThisProgram(host, paths.notepad, L"削除しませんでした。");
        host.RemoveFile(paths.notepad);
        host.RenameFile(paths.backup, paths.notepad);
    }
    return Install(host, paths);
}

} // namespace zn
