// Starting a program as the user of the desktop rather than as this (possibly elevated) process.
#pragma once

#include "startup/main.h"

#include <windows.h>

#include <string>

namespace zn {

// The token's elevation type; Default when it cannot be read.
ElevationType ElevationTypeOf(HANDLE token) noexcept;
// The same of this process's token.
ElevationType ProcessElevationType() noexcept;

// Asks the desktop shell's own process to start `program` (no arguments, its folder as the
// working folder, a normal window), so that it runs as the desktop's user at the shell's level.
// Initialises COM (apartment-threaded) for the call only; a thread of the multithreaded
// apartment is refused. False when any step fails, the shell's start itself included.
bool StartAsDesktopUser(const std::wstring& program) noexcept;

} // namespace zn
