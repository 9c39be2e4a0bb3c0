// The registration window's texts and the rules it applies to the text box's text.
#pragma once

#include "common/editor_check.h"
#include "resources/names.h"
#include "setup/install_kind.h"

#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kCaptionPrefix = L"ZanvekNotePad V";
inline constexpr std::wstring_view kDropHint = L"↑\"*.exe\"をドロップ";
inline constexpr std::wstring_view kWaitingMessage =
    L"メモ帳のかわりに起動したいエディタをドロップしてください";
inline constexpr std::wstring_view kQuestionSuffix = L"を登録してよろしいですか？";
inline constexpr std::wstring_view kConfirmationHead = L"次回から、メモ帳の変わりに";
inline constexpr std::wstring_view kConfirmationTail = L"を起動します";
// The note after a copy installation: the system's Notepad was saved as the backup.
inline constexpr std::wstring_view kCopyNote =
    L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
    L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。";
// The note after a redirect installation: no backup exists, notepad.exe is untouched, and the
// system sends every Notepad start to the copy in the Windows folder; without that copy Notepad
// no longer starts (until set-up is run again and removes the redirection).
inline constexpr std::wstring_view kRedirectNote =
    L"本来のNotePad.exe は、そのまま残ります。"
    L"WindowsフォルダのZanvekNotepad.exeを消去するとメモ帳が起動できなくなります。"
    L"注意してください。";
inline constexpr std::wstring_view kStoreFailedMessage = L"登録できませんでした。";
// Why a text that is not a full path is not stored: started from another folder, the launcher
// would look for such an editor there.
inline constexpr std::wstring_view kNotFullPathReason =
    L"理由: フルパス (C:\\… または \\\\サーバー\\…) ではありません。";
// Why the launcher would not start the editor, for the other refusals.
inline constexpr std::wstring_view kLoopsBackReason =
    L"理由: notepad.exe という名前では、Windows がかわりにこのプログラムを起動します。";
inline constexpr std::wstring_view kNoSuchFileReason = L"理由: ファイルが見つかりません。";
inline constexpr std::wstring_view kFolderReason = L"理由: ファイルではなくフォルダです。";
inline constexpr std::wstring_view kThisProgramReason =
    L"理由: " ZN_WIDE(ZN_PRODUCT_NAME) L" 自身のファイルです。";
inline constexpr std::wstring_view kCommandScriptReason =
    L"理由: バッチファイル (.bat または .cmd) です。";
inline constexpr std::wstring_view kNotAProgramReason =
    L"理由: Windows のプログラムではありません。";
inline constexpr std::wstring_view kYesCaption = L"Yes";
inline constexpr std::wstring_view kNoCaption = L"No";
inline constexpr std::wstring_view kCloseCaption = L"Close";

// "ZanvekNotePad V" major "." minor revision, each in plain decimal (1, 1, 0 gives V1.10).
std::wstring WindowCaption(int major, int minor, int revision);

// True when the text ends in e, x, e, each in either case ("*[eE][xX][eE]"): no dot needed,
// nothing may follow.
bool PassesExecutableTest(std::wstring_view text);

// Everything after the last backslash, or the whole text when it holds none.
std::wstring_view FileNameOf(std::wstring_view path);

// Why an editor the launcher would refuse with `verdict` is not stored; empty for Ok.
std::wstring_view RefusalReason(EditorVerdict verdict);

// The question after a drop.
std::wstring DropQuestion(std::wstring_view text);
// The message after a confirmed registration: the file name of `text`, a line break, and the
// note about the installation `kind`.
std::wstring ConfirmationMessage(std::wstring_view text, InstallKind kind);
// The message after a Yes that stored nothing: "登録できませんでした。", a line break, `reason`.
std::wstring StoreFailedMessage(std::wstring_view reason);

} // namespace zn
