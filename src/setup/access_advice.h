// What to tell the user when the system answered "access denied".
#pragma once

#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kRunAsAdministratorAdvice = L"管理者として実行してください。";

// Without elevation, the missing administrator rights are the likely reason. With them, what
// still denies is the object's own permissions, named by its owner (empty when unknown), or, for
// a program file (`program`: its file name), that the program is running.
std::wstring AccessDeniedAdvice(bool elevated, std::wstring_view owner, std::wstring_view program);

} // namespace zn
