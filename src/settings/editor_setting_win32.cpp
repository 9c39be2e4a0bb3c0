#include "settings/editor_setting.h"

#include "settings/registry_win32.h"

#include <windows.h>

namespace zn {

std::wstring ReadEditorPath()
{
    // The name given is that of a subkey; the empty name reads the key's own default value.
    LSTATUS status = ERROR_SUCCESS;
    const VariantValue value = ReadRegDefault(HKEY_CURRENT_USER, kSettingsKeyPath, L"", &status);
    return EditorPathFromRead(value, static_cast<std::uint32_t>(status));
}

std::uint32_t StoreEditorPath(const std::wstring& path)
{
    LSTATUS status = ERROR_SUCCESS;
    WriteRegValue(HKEY_CURRENT_USER, kSettingsKeyPath, kEditorPathValueName, path, &status);
    return static_cast<std::uint32_t>(status);
}

} // namespace zn
