#include "window/registration_texts.h"

#include "common/decimal.h"

namespace zn {

std::wstring WindowCaption(int major, int minor, int revision)
{
    return std::wstring(kCaptionPrefix) + ToDecimal(major) + L"." + ToDecimal(minor) +
           ToDecimal(revision);
}

bool PassesExecutableTest(std::wstring_view text)
{
    if (text.size() < 3) return false;
    const std::wstring_view tail = text.substr(text.size() - 3);
    return (tail[0] == L'e' || tail[0] == L'E') && (tail[1] == L'x' || tail[1] == L'X') &&
           (tail[2] == L'e' || tail[2] == L'E');
}

std::wstring_view FileNameOf(std::wstring_view path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

std::wstring_view RefusalReason(EditorVerdict verdict)
{
    switch (verdict) {
    case EditorVerdict::Ok: break;
    case EditorVerdict::NotFullPath: return kNotFullPathReason;
    case EditorVerdict::LoopsBack: return kLoopsBackReason;
    case EditorVerdict::NoSuchFile: return kNoSuchFileReason;
    case EditorVerdict::Folder: return kFolderReason;
    case EditorVerdict::ThisProgram: return kThisProgramReason;
    case EditorVerdict::CommandScript: return kCommandScriptReason;
    case EditorVerdict::NotAProgram: return kNotAProgramReason;
    }
    return {};
}

std::wstring DropQuestion(std::wstring_view text)
{
    return std::wstring(FileNameOf(text)) + std::wstring(kQuestionSuffix);
}

std::wstring ConfirmationMessage(std::wstring_view text, InstallKind kind)
{
    std::wstring message(kConfirmationHead);
    message += FileNameOf(text);
    message += kConfirmationTail;
    message += L"\r\n";
    message += kind == InstallKind::Redirect ? kRedirectNote : kCopyNote;
    return message;
}

std::wstring StoreFailedMessage(std::wstring_view reason)
{
    std::wstring message(kStoreFailedMessage);
    message += L"\r\n";
    message += reason;
    return message;
}

} // namespace zn
