// Where the one setting lives: the default value of this key under HKEY_CURRENT_USER holds
// the full path of the editor to start in Notepad's place.
#pragma once

#include <string_view>

namespace zn {

inline constexpr std::wstring_view kSettingsSubkey = L"Software\\Kestrane\\ZanvekNOTEPAD";
inline constexpr std::wstring_view kEditorPathValueName = L""; // the key's default value

} // namespace zn
