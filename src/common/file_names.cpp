#include "common/file_names.h"

namespace zn {
namespace {

// Letter case ignored for ASCII letters only: the names compared here have no other, and no
// other character folds to one of their letters.
bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view lowerCase)
{
    if (text.size() != lowerCase.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i] >= L'A' && text[i] <= L'Z'
                              ? static_cast<wchar_t>(text[i] - L'A' + L'a')
                              : text[i];
        if (c != lowerCase[i]) return false;
    }
    return true;
}

} // namespace

std::wstring_view FileNamePart(std::wstring_view path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

std::wstring_view AsOpened(std::wstring_view fileName)
{
    while (!fileName.empty() && (fileName.back() == L'.' || fileName.back() == L' '))
        fileName.remove_suffix(1);
    return fileName;
}

bool IsNotepadExe(std::wstring_view fileName)
{
    return EqualsIgnoringCase(fileName, L"notepad.exe");
}

bool NamesNotepad(std::wstring_view path)
{
    const std::wstring_view name = AsOpened(FileNamePart(path));
    return IsNotepadExe(name) || EqualsIgnoringCase(name, L"notepad");
}

bool IsCommandScriptName(std::wstring_view path)
{
    const std::wstring_view name = AsOpened(FileNamePart(path));
    if (name.size() < 4) return false;
    const std::wstring_view extension = name.substr(name.size() - 4);
    return EqualsIgnoringCase(extension, L".bat") || EqualsIgnoringCase(extension, L".cmd");
}

} // namespace zn
