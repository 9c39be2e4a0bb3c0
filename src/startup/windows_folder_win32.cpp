#include "startup/windows_folder_win32.h"

#include "common/error_report_win32.h"
#include "common/win32_text.h"

namespace zn {

std::wstring WindowsFolder()
{
    std::wstring folder = ReadGrowing(
        [](wchar_t* buffer, DWORD capacity) { return ::GetWindowsDirectoryW(buffer, capacity); });
    // Going on with an empty folder would aim every file operation at "\notepad.exe".
    if (folder.empty()) FailWithLastError(L"Windows フォルダーの場所を取得できませんでした。");
    return folder;
}

} // namespace zn
