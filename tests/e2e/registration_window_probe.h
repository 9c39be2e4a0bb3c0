// Finding the program's registration window from another process.
#pragma once

#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

namespace zn::e2e {

inline const std::wstring kRegistrationCaption = L"ZanvekNotePad V1.10";
inline constexpr wchar_t kRegistrationClass[] = L"ZanvekNotepadRegistration";
// The window's controls, by their ids.
inline constexpr int kText1 = 101, kCmdYes = 103, kCmdNo = 104, kLabel2 = 105;

inline HWND WaitForRegistrationWindow(const Process& process)
{
    return WaitForWindow(process.Id(), kRegistrationClass, kRegistrationCaption);
}

// The window opened; closing it from its title bar ends the process normally.
inline void ExpectRegistrationWindowThenClose(Process& process)
{
    const HWND window = WaitForRegistrationWindow(process);
    ASSERT_NE(window, nullptr) << "the registration window did not open";
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.Wait(), 0);
}

} // namespace zn::e2e
