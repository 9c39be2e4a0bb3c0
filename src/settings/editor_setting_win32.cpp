#include "settings/editor_setting.h"

#include "settings/registry_win32.h"

#include <windows.h>

namespace zn {

std::wstring ReadEditorPath()
{
    // The name given is that of a subkey; the empty name reads the key's own default value.
    const VariantValue value = ReadRegDefault(HKEY_CURRENT_USER, kSettingsKeyPath, L"");
    const auto* text = std::get_if<std::wstring>(&value);
    return text != nullptr ? *text : std::wstring();
}

std::uint32_t StoreEditorPath(const std::wstring& path)
{
    LSTATUS status = ERROR_SUCCESS;
    WriteRegValue(HKEY_CURRENT_USER, kSettingsKeyPath, kEditorPathValueName, path, &status);
    return static_cast<std::uint32_t>(status);
}

} // namespace zn
