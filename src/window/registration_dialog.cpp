#include "window/registration_dialog.h"

#include "window/registration_texts.h"

namespace zn {
namespace {

constexpr float kRegisteredShift = 150; // twips cmdNo moves down and loses in height

} // namespace

RegistrationDialog::RegistrationDialog()
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

void RegistrationDialog::Confirmed(const std::wstring& text1, bool stored)
{
    if (!stored) {
        // Claiming success would send the user away with nothing registered.
        m_view.label2 = kWriteFailedMessage;
        return;
    }
    m_view.yesVisible = false;
    m_view.label2 = ConfirmationMessage(text1);
    // From the geometry at creation, so that repeated confirmations cannot shrink it away.
    const TwipsRect created = LayoutOf(kCmdNo).twips;
    m_view.noRect = {created.left, created.top + kRegisteredShift, created.width,
                     created.height - kRegisteredShift};
    m_view.noCaption = kCloseCaption;
}

} // namespace zn
