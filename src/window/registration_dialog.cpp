#include "window/registration_dialog.h"

#include "window/registration_texts.h"

namespace zn {
namespace {

constexpr float kRegisteredShift = 150; // twips cmdNo moves down and loses in height

// The launcher's verdict on `path`. Only a path whose text passes is probed; `unreadable` then
// receives why, when what is there could not be read.
EditorVerdict Judge(const std::wstring& path, RegistrationHost& host, bool redirected,
                    std::optional<std::wstring>& unreadable)
{
    if (const EditorVerdict verdict = JudgeEditorPath(path, redirected);
        verdict != EditorVerdict::Ok)
        return verdict;
    ProbedPath probed = host.Probe(path);
    unreadable = std::move(probed.unreadable);
    return JudgeEditor(path, probed.file, redirected);
}

} // namespace

RegistrationDialog::RegistrationDialog(InstallKind kind) : m_kind(kind)
{
    const ControlLayout& no = LayoutOf(kCmdNo);
    m_view = {std::wstring(kWaitingMessage), LayoutOf(kCmdYes).visible, std::wstring(no.text),
              no.visible, no.twips};
}

void RegistrationDialog::Load()
{
    m_view.noCaption = kCloseCaption;
    m_view.noVisible = true;
}

void RegistrationDialog::Drop(std::wstring& text1, std::int32_t effect,
                              const std::optional<std::vector<std::wstring>>& files,
                              RegistrationHost& host)
{
    if (effect == kAllDropEffects && files && !files->empty()) text1 = files->front();
    // Explorer's "Copy as path" quotes a path: pasted, it is still an executable's.
    const std::wstring path(Unquoted(text1));
    if (!PassesExecutableTest(path)) return;
    // Registered, this program would start itself (or set-up) on every Notepad start, whatever
    // its name: judged as if no name looped back, so that only its version resource counts.
    std::optional<std::wstring> unreadable;
    if (Judge(path, host, false, unreadable) == EditorVerdict::ThisProgram) {
        m_view.label2 = StoreFailedMessage(kThisProgramReason);
        return;
    }
    m_view.label2 = DropQuestion(path);
    m_view.yesVisible = true;
    m_view.noCaption = kNoCaption;
    m_view.noVisible = true;
}

bool RegistrationDialog::Yes(const std::wstring& text1, RegistrationHost& host)
{
    // What the launcher would refuse is not stored: the next Notepad start would open this
    // window again, or report the editor, after the user was told it is registered.
    const std::wstring path(Unquoted(text1));
    std::optional<std::wstring> unreadable;
    const EditorVerdict verdict = Judge(path, host, m_kind == InstallKind::Redirect, unreadable);
    if (unreadable) return NotStored(*unreadable);
    if (verdict != EditorVerdict::Ok) return NotStored(RefusalReason(verdict));
    if (const std::optional<std::wstring> failure = host.Store(path)) return NotStored(*failure);

    m_view.yesVisible = false;
    m_view.label2 = ConfirmationMessage(path, m_kind);
    // From the geometry at creation, so that repeated confirmations cannot shrink it away.
    const TwipsRect created = LayoutOf(kCmdNo).twips;
    m_view.noRect = {created.left, created.top + kRegisteredShift, created.width,
                     created.height - kRegisteredShift};
    m_view.noCaption = kCloseCaption;
    return true;
}

bool RegistrationDialog::NotStored(std::wstring_view reason)
{
    // Claiming success would send the user away with nothing registered; Yes stays for
    // another try.
    m_view.label2 = StoreFailedMessage(reason);
    return false;
}

} // namespace zn
