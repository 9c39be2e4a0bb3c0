#pragma once

#include <string>

namespace zn {

// The Windows folder as the system reports it (normally without a trailing backslash), of any
// length. Asked afresh on every call. Throws when the system cannot tell.
std::wstring WindowsFolder();

} // namespace zn
