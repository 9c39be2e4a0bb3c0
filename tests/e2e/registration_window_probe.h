// Finding the program's registration window from another process.
#pragma once

#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace zn::e2e {

inline const std::wstring kRegistrationCaption = L"ZanvekNotePad V1.10";
inline constexpr wchar_t kRegistrationClass[] = L"ZanvekNotepadRegistration";
// The window's controls, by their ids.
inline constexpr int kText1 = 101, kCmdYes = 103, kCmdNo = 104, kLabel2 = 105;

inline HWND WaitForRegistrationWindow(const Process& process)
{
    return WaitForWindow(process.Id(), kRegistrationClass, kRegistrationCaption);
}

inline bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// What follows the program's own name in a command line, blanks after it dropped.
inline std::wstring ArgumentsOf(const std::wstring& commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        at = commandLine.find(L'"', 1);
        at = at == std::wstring::npos ? commandLine.size() : at + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] != L' ' && commandLine[at] != L'\t')
            ++at;
    }
    while (at < commandLine.size() && std::iswspace(commandLine[at]))
        ++at;
    return commandLine.substr(at);
}

// The launchers an installation leaves in the Windows folder: a copy over notepad.exe, or the
// program under its own name where the system's notepad.exe is protected.
inline bool IsInstalledLauncher(const std::wstring& image)
{
    return SamePath(image, kNotepad) || SamePath(image, kWindows + L"\\ZanvekNotepad.exe");
}

// Run from the Windows folder the program is the launcher, whatever its name.
inline bool RunsFromTheWindowsFolder(const Process& process)
{
    const std::size_t slash = process.Image().rfind(L'\\');
    return slash != std::wstring::npos && SamePath(process.Image().substr(0, slash), kWindows);
}

// The registration window, and the process that shows it.
struct OpenedWindow {
    HWND window = nullptr;
    Process launcher; // the installed launcher that the shell started for set-up, if it did
    Process& Owner(Process& started) { return launcher.Id() != 0 ? launcher : started; }
};

// Waits for the registration window that `started` opens and checks who shows it. Set-up run as
// the elevated half of a split token (as Wine runs every process) has the desktop's shell start
// the installed launcher without a command line, and ends with 0 by itself: that process shows
// the window. Set-up with any other token shows the window itself, as the launcher always does.
inline OpenedWindow WaitForOpenedWindow(Process& started)
{
    OpenedWindow opened;
    const bool throughTheShell =
        !RunsFromTheWindowsFolder(started) && started.Elevation() == TokenElevationTypeFull;
    opened.window = WaitForWindow(0, kRegistrationClass, kRegistrationCaption);
    if (opened.window == nullptr) return opened;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(opened.window, &owner);
    if (!throughTheShell) {
        EXPECT_EQ(owner, started.Id()) << "the window must be its own";
        return opened;
    }

    EXPECT_NE(owner, started.Id()) << "elevated set-up showed the window in its own process";
    if (owner == started.Id()) return opened;
    opened.launcher = OpenRunningProcess(owner);
    EXPECT_EQ(started.Wait(), 0) << "set-up must end by itself once the shell started the window";
    EXPECT_PRED1(IsInstalledLauncher, opened.launcher.Image());
    EXPECT_EQ(ArgumentsOf(CommandLineOf(opened.launcher)), L"") << CommandLineOf(opened.launcher);
    EXPECT_PRED2(SamePath, ExeNameOf(ParentIdOf(owner)), L"explorer.exe")
        << "not started by the desktop's shell";
    return opened;
}

// The registration window opened (after set-up, where the rules above say); closing it from its
// title bar ends its process normally, and `started` ended with 0.
inline void ExpectRegistrationWindowThenClose(Process& started)
{
    OpenedWindow opened = WaitForOpenedWindow(started);
    ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
    ::PostMessageW(opened.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(opened.Owner(started).Wait(), 0);
    EXPECT_EQ(started.Wait(), 0);
}

} // namespace zn::e2e
