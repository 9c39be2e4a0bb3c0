#include "setup/program_copy.h"

namespace zn {
namespace {

constexpr std::wstring_view kPrefix = L"~ZanvekNotepad.";
constexpr std::wstring_view kSuffix = L".tmp";

} // namespace

std::wstring TemporaryFileName(std::wstring_view unique)
{
    return std::wstring(kPrefix) + std::wstring(unique) + std::wstring(kSuffix);
}

bool IsTemporaryFileName(std::wstring_view name)
{
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

std::wstring WriteFreshCopy(SetupHost& files, const std::wstring& folder)
{
    const std::wstring path = files.TemporaryPath(folder);
    files.WriteProgramCopy(path);
    return path;
}

void RemoveQuietly(SetupHost& files, const std::wstring& path) noexcept
{
    try {
        files.RemoveFile(path);
    } catch (...) {
    }
}

void RemoveLeftovers(SetupHost& files, const std::wstring& folder) noexcept
{
    try {
        for (const std::wstring& path : files.TemporaryFiles(folder))
            RemoveQuietly(files, path);
    } catch (...) {
        // Nothing depends on it: the leftovers only take room.
    }
}

} // namespace zn
