// Reading one string of a program's version resource straight from the file's bytes, without
// loading it: the system's loader may substitute a file of its own for a well-known name like
// notepad.exe. All of the data is untrusted.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zn {

// The version resource (VS_VERSIONINFO) of a PE image file: the first RT_VERSION resource, of
// any name and language. Empty when there is none or the file is not a well-formed PE image.
std::span<const std::uint8_t> FindVersionResource(std::span<const std::uint8_t> image);

// The value of the string `key` in any string table of a VS_VERSIONINFO block.
std::optional<std::wstring> FindVersionString(std::span<const std::uint8_t> versionInfo,
                                              std::wstring_view key);

} // namespace zn
