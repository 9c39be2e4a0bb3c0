// The program's one setting: the full path of the editor to start in Notepad's place, kept as
// the default value of one key under HKEY_CURRENT_USER. Everything that reads or stores it
// goes through here.
#pragma once

#include "settings/variant_value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kSettingsKeyPath = L"Software\\Kestrane\\ZanvekNOTEPAD";
inline constexpr std::wstring_view kEditorPathValueName = L""; // the key's default value

// The key as the user finds it in the registry editor, for reports.
inline constexpr std::wstring_view kSettingsKeyName =
    L"HKEY_CURRENT_USER\\Software\\Kestrane\\ZanvekNOTEPAD";

// The editor's path; the empty text when none is registered (no key, no default value, or a
// value that is no text). Throws AppError naming the key and the system's reason when the
// setting cannot be read for another reason (access denied, say): that is no "none".
std::wstring ReadEditorPath();

// ReadEditorPath's decision, from what ReadRegDefault gave: its value and its status.
std::wstring EditorPathFromRead(const VariantValue& value, std::uint32_t status);

// Stores `path` as the editor's path. Returns the registry's status: 0 (ERROR_SUCCESS) when it
// was stored, otherwise the code of the step that failed, for the user to be told why.
std::uint32_t StoreEditorPath(const std::wstring& path);

} // namespace zn
