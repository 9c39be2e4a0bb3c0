#include "setup/install.h"

#include "common/app_error.h"
#include "setup/program_copy.h"
#include "setup/prompts.h"

#include <utility>

namespace zn {
namespace {

constexpr wchar_t kCheckBoth[] = L"notepad.exe と notepad.met を確認してください。";

// notepad.exe gives way only where nothing is lost by it: when it is missing, when it is this
// program, or when the backup holds its bytes (a copy over it that failed after the backup was
// made leaves just that). Anything else, a Notepad put back by an update say, exists nowhere
// else. `notDone` says what was left undone ("削除しませんでした。").
void RefuseUnlessReplaceable(SetupHost& host, const SetupPaths& paths, std::wstring_view notDone)
{
    const FileKind notepad = host.Inspect(paths.notepad);
    if (notepad == FileKind::None || notepad == FileKind::ThisProgram) return;
    if (host.SameBytes(paths.notepad, paths.backup)) return;
    Fail(kErrorNotOurProgram,
         L"notepad.exe が ZanvekNotepad ではないため、" + std::wstring(notDone), paths.notepad,
         L"Windows の更新などで入れ替わった可能性があります。" + std::wstring(kCheckBoth));
}

// Saves the system Notepad as the backup, never over an existing file. notepad.ex_ is a system
// Notepad put aside by hand; anything else there (empty, a text, this program) is left alone.
void MakeBackup(SetupHost& host, const SetupPaths& paths)
{
    const FileKind notepad = host.Inspect(paths.notepad);
    if (notepad == FileKind::Other) {
        Fail(kErrorNotAProgram, L"notepad.exe がプログラムではないため、何も変更しませんでした。",
             paths.notepad,
             L"バックアップにできるメモ帳がありません。notepad.exe を確認してください。");
    }
    if (host.Inspect(paths.staged) == FileKind::Program) {
        if (notepad == FileKind::Program && !host.SameBytes(paths.staged, paths.notepad)) {
            Fail(kErrorTwoNotepads,
                 L"notepad.ex_ と notepad.exe が別々のプログラムで、どちらを元のメモ帳として残すか"
                 L"決められないため、何も変更しませんでした。",
                 paths.staged + L"\r\n" + paths.notepad,
                 L"元のメモ帳でない方を別の場所へ移してから、もう一度実行してください。");
        }
        host.MoveFileExclusive(paths.staged, paths.backup);
        return;
    }
    // A notepad.exe that is already this program holds no system Notepad to save.
    if (notepad == FileKind::ThisProgram) return;
    host.CopyFileExclusive(paths.notepad, paths.backup); // a missing notepad.exe fails here
}

// The copy over notepad.exe, after the backup.
void InstallCopy(SetupHost& host, const SetupPaths& paths)
{
    // Written first: a folder that takes no new file stops the run before anything changed.
    const std::wstring fresh = WriteFreshCopy(host, paths.folder);
    try {
        // An existing backup is the system Notepad: it is never replaced, so installing twice
        // cannot turn the backup into a copy of this program.
        if (host.IsFile(paths.backup))
            RefuseUnlessReplaceable(host, paths, L"置き換えませんでした。");
        else
            MakeBackup(host, paths);
        try {
            host.MoveFileOver(fresh, paths.notepad);
        } catch (AppError& error) {
            error.path = paths.notepad; // the new file's temporary name means nothing to the user
            throw;
        }
    } catch (...) {
        RemoveQuietly(host, fresh);
        throw;
    }
}

} // namespace

SetupPaths MakeSetupPaths(std::wstring_view windowsFolder)
{
    const std::wstring w(windowsFolder);
    return {w, w + L"\\notepad.exe", w + L"\\notepad.met", w + L"\\notepad.ex_",
            MakeRedirectPaths(windowsFolder)};
}

void Uninstall(SetupHost& host, const SetupPaths& paths)
{
    // Once back, it is what every start of Notepad runs: a Windows program, and not this one.
    if (host.Inspect(paths.backup) != FileKind::Program) {
        Fail(kErrorNotAProgram, L"notepad.met が元のメモ帳ではないため、元に戻しませんでした。",
             paths.backup, kCheckBoth);
    }
    // A copy over notepad.exe that failed after the backup was made (the system protects
    // notepad.exe) leaves the same bytes in both: the backup goes, notepad.exe is not written.
    if (host.SameBytes(paths.notepad, paths.backup)) {
        host.RemoveFile(paths.backup);
        return;
    }
    RefuseUnlessReplaceable(host, paths, L"削除しませんでした。");
    // One step, not a delete and a move: should the move fail (the backup held open by another
    // program, say), notepad.exe is still there.
    host.MoveFileOver(paths.backup, paths.notepad);
}

std::optional<InstallKind> Install(SetupHost& files, RedirectHost& system, const SetupPaths& paths)
{
    if (!files.AskYesNo(kInstallPromptText, kInstallPromptTitle)) return std::nullopt;
    const InstallKind kind = ChooseInstallKind(system, paths.redirect);
    if (kind == InstallKind::Redirect)
        InstallRedirect(files, system, paths.redirect);
    else
        InstallCopy(files, paths);
    return kind;
}

} // namespace zn
