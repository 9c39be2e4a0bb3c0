// Reading the list of dropped files out of CF_HDROP data (a DROPFILES header, then the names,
// each ended by a NUL, the list ended by an empty name), without trusting any of it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// Converts names stored in the system code page (DROPFILES with fWide == 0).
using CodePageToText = std::function<std::wstring(std::string_view)>;

// The dropped files' paths in order, or nullopt when the data holds no list of file names
// (too short, an offset outside the data, or not one complete name). A name that runs to the
// end of the data without its NUL is left out.
std::optional<std::vector<std::wstring>> ParseDropFiles(std::span<const std::uint8_t> data,
                                                        const CodePageToText& fromCodePage);

} // namespace zn
