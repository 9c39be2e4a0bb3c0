// Reading one string of a program's version resource straight from the file's bytes, without
// loading it: the system's loader may substitute a file of its own for a well-known name like
// notepad.exe. All of the data is untrusted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// Reads `size` bytes of the file at `offset`; fewer (or none) where the file ends. May throw
// when the file cannot be read.
using ReadAt = std::function<std::vector<std::uint8_t>(std::uint64_t offset, std::size_t size)>;

// The most FindVersionResource asks `read` for in all, whatever the file holds: the headers,
// the section table, a bounded part of the resource tree and the version data.
inline constexpr std::size_t kMostVersionResourceReads = 256 * 1024;

// The version resource (VS_VERSIONINFO) of a PE image file: the first RT_VERSION resource, of
// any name and language, at most 64 KiB of it. Reads the file only through `read`, and only the
// pieces it needs: the headers, the section table, the resource tree's entries on the way to
// the version resource, then its data. Empty when there is none or the file is not a
// well-formed PE image.
std::vector<std::uint8_t> FindVersionResource(const ReadAt& read);
// The same over a whole file in memory.
std::vector<std::uint8_t> FindVersionResource(std::span<const std::uint8_t> image);

// The value of the string `key` in any string table of a VS_VERSIONINFO block.
std::optional<std::wstring> FindVersionString(std::span<const std::uint8_t> versionInfo,
                                              std::wstring_view key);

// True when a VS_VERSIONINFO block is this program's, of any version: its InternalName and its
// ProductName both name the program (resources/names.h). The one test of "this is a copy of
// ZanvekNotepad", for set-up and the launcher alike.
bool NamesThisProgram(std::span<const std::uint8_t> versionInfo);

} // namespace zn
