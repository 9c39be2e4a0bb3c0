// A file's bytes, read and written with the standard library, for the in-process tests' scratch
// files.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zn {

inline const std::string kNoSuchFile = "<missing>";

// The whole file; kNoSuchFile when it cannot be opened.
inline std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return kNoSuchFile;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

} // namespace zn
