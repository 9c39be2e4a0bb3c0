// Starting a program as the user of the desktop rather than as this (possibly elevated) process.
#pragma once

#include "startup/main.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
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

// The same on a worker thread of its own, waiting for it at most `limit`: false when the limit
// passes first. The worker owns all it uses, so that a hung shell may keep it alive (and carry
// the request out later) until the process ends. Throws only when no worker can be started.
bool StartAsDesktopUserWithin(const std::wstring& program, std::chrono::milliseconds limit);

// The system's time now, in 100 ns units since 1601 (as GetProcessTimes gives creation times).
std::uint64_t SystemTimeNow() noexcept;

// Waits up to `limit` for a visible registration window of a process whose image is the file
// `program` and that was created at `startedAfter` or later. A process this one may not query
// (another user's) does not count.
bool WaitForRegistrationWindowOf(const std::wstring& program, std::uint64_t startedAfter,
                                 std::chrono::milliseconds limit);

} // namespace zn
