// Telling a Windows program from any other file by its first bytes, without loading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zn {

// How much of a file's start IsProgramImage needs: every linker puts the headers well inside.
inline constexpr std::size_t kProgramHeadBytes = 4096;

// True when `head`, the start of a file, is the header of a Windows program: an MS-DOS stub
// pointing at a "PE\0\0" signature, a PE32 or PE32+ optional header, and a file header marked
// executable and not a DLL. Anything else (a script, a text, an empty or cut file) is false.
bool IsProgramImage(std::span<const std::uint8_t> head);

} // namespace zn
