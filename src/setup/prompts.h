// The two questions set-up asks, each a message box with Yes and No, exactly as the user sees
// them.
#pragma once

#include <string_view>

namespace zn {

inline constexpr std::wstring_view kRemovePromptText = L"ZanvekNotePadをUninstallしますか？";
inline constexpr std::wstring_view kRemovePromptTitle = L"Uninstall";
inline constexpr std::wstring_view kInstallPromptText = L"ZanvekNOTEPAD をインストールしますか？";
inline constexpr std::wstring_view kInstallPromptTitle = L"ZanvekNOTEPAD";

} // namespace zn
