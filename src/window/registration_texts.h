// The registration window's texts and the rules it applies to the text box's text.
#pragma once

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
inline constexpr std::wstring_view kConfirmationNote =
    L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
    L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。";
inline constexpr std::wstring_view kWriteFailedMessage = L"登録できませんでした。";
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

// The question after a drop, and the message after a confirmed registration.
std::wstring DropQuestion(std::wstring_view text);
std::wstring ConfirmationMessage(std::wstring_view text);

} // namespace zn
