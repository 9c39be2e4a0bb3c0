// What the system says about who may do what: this process's elevation, and the owners of files
// and registry keys, for reports that explain a refusal.
#pragma once

#include <windows.h>

#include <string>

namespace zn {

// True when this process runs with its administrator rights in force (TokenIsElevated).
bool IsProcessElevated() noexcept;

// "DOMAIN\name" of the owner of a file or folder; of its folder when the path does not exist.
// Empty when the system cannot tell.
std::wstring OwnerOfFile(const std::wstring& path);

// The owner of `root`\`path` (`view`: KEY_WOW64_64KEY or 0), or of its nearest existing level.
std::wstring OwnerOfKey(HKEY root, const std::wstring& path, REGSAM view);

} // namespace zn
