// The system's side of the default-app offer: the .txt association, the system's folders and
// version, the question and the Settings page.
#pragma once

#include "window/default_app.h"

#include <windows.h>

namespace zn {

class Win32DefaultAppHost final : public DefaultAppHost {
public:
    // `owner`: the window the question belongs to.
    explicit Win32DefaultAppHost(HWND owner) : m_owner(owner) {}

    TextFileApp TextFileOpener() override;
    std::wstring WindowsFolder() override;
    std::wstring SystemFolder() override;
    std::wstring SystemWow64Folder() override;
    bool SamePath(std::wstring_view a, std::wstring_view b) override;
    WindowsVersion Version() override;
    bool AskYesNo(const std::wstring& text) override;
    void OpenLink(const std::wstring& link) override;

private:
    HWND m_owner;
};

} // namespace zn
