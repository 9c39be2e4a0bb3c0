// The program's one setting: the full path of the editor to start in Notepad's place, kept as
// the default value of one key under HKEY_CURRENT_USER. Everything that reads or stores it
// goes through here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kSettingsKeyPath = L"Software\\Kestrane\\ZanvekNOTEPAD";
inline constexpr std::wstring_view kEditorPathValueName = L""; // the key's default value

// The editor's path; the empty text when none is registered or it cannot be read.
std::wstring ReadEditorPath();

// Stores `path` as the editor's path. Returns the registry's status: 0 (ERROR_SUCCESS) when it
// was stored, otherwise the code of the step that failed, for the user to be told why.
std::uint32_t StoreEditorPath(const std::wstring& path);

} // namespace zn
