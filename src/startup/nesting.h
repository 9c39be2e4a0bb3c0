// How deep in editors started by launchers a launch is. The launcher passes the depth of the
// editor it starts in an environment variable of its own, which the editor and everything it
// starts inherit; a launcher started by one of them reads it. An editor that starts Notepad
// again for the same document (or a script of it that does) thus counts up, and the launcher
// stops the chain instead of piling up processes. A start through a broker (Explorer opening a
// file, DDE, the running copy of a single-instance editor) does not inherit it and counts from
// zero again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zn {

inline constexpr std::wstring_view kNestingVariable = L"ZANVEKNOTEPAD_NESTING";

// The most editors nested in one another that launchers start: a legitimate nesting (the
// editor runs a version control tool, which starts Notepad for a message) takes two.
inline constexpr unsigned kMostNestedEditors = 4;

// The depth a value of the variable gives: its decimal digits, at most kSaturatedDepth however
// many there are (a huge value never wraps); 0 for no value, an empty one, or one that is not
// plain digits (a sign, a blank, any other character).
inline constexpr unsigned kSaturatedDepth = 1000000;
unsigned ParseNestingDepth(const std::optional<std::wstring>& value);

// The value to pass to the editor started at `depth`: one deeper.
std::wstring NextNestingDepth(unsigned depth);

} // namespace zn
