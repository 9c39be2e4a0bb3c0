#include "settings/editor_setting.h"

#include "common/app_error.h"

namespace zn {

std::wstring EditorPathFromRead(const VariantValue& value, std::uint32_t status)
{
    constexpr std::uint32_t kNotFound = 2; // ERROR_FILE_NOT_FOUND: no key, or no value
    if (status != 0 && status != kNotFound)
        Fail(status, L"エディタの設定を読み取れませんでした。", std::wstring(kSettingsKeyName));
    const auto* text = std::get_if<std::wstring>(&value);
    return text != nullptr ? *text : std::wstring();
}

} // namespace zn
