#include "window/registration_dialog.h"

#include "common/full_path.h"
#include "window/registration_texts.h"

namespace zn {
namespace {

constexpr float kRegisteredShift = 150; // twips cmdNo moves down and loses in height

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
                              const std::optional<std::vector<std::wstring>>& files)
{
    if (effect == kAllDropEffects && files && !files->empty()) text1 = files->front();
    if (!PassesExecutableTest(text1)) return;
    m_view.label2 = DropQuestion(text1);
    m_view.yesVisible = true;
    m_view.noCaption = kNoCaption;
    m_view.noVisible = true;
}

bool RegistrationDialog::Yes(const std::wstring& text1, const StorePath& store)
{
    if (!IsFullPath(text1)) return NotStored(kNotFullPathReason);
    if (const std::optional<std::wstring> failure = store(text1)) return NotStored(*failure);

    m_view.yesVisible = false;
    m_view.label2 = ConfirmationMessage(text1, m_kind);
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
