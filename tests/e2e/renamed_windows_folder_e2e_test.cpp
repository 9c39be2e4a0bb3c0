// The installed notepad.exe on a system that spells the Windows folder otherwise than its file
// system does (C:\WINDOWS in the settings, C:\Windows on disk). Run in a prefix whose Windows
// folder is named "Windows" on disk while Wine still reports C:\windows (tests/wine/run.sh,
// ZN_PREFIX_VARIANT=renamed-windows-folder).
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <gtest/gtest.h>

namespace zn::e2e {
namespace {

class RenamedWindowsFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t reported[MAX_PATH] = {};
        ::GetWindowsDirectoryW(reported, MAX_PATH);
        ASSERT_EQ(std::wstring(reported), kWindows);
        // The file system's spelling differs: the prefix is the one this case needs.
        const HANDLE folder =
            ::CreateFileW(kWindows.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(folder, INVALID_HANDLE_VALUE);
        wchar_t onDisk[MAX_PATH] = {};
        ::GetFinalPathNameByHandleW(folder, onDisk, MAX_PATH, FILE_NAME_NORMALIZED);
        ::CloseHandle(folder);
        ASSERT_EQ(std::wstring(onDisk), L"\\\\?\\C:\\Windows");

        PrepareInstalledProgram();
        SetEditorSetting(kStandInEditor);
    }
};

TEST_F(RenamedWindowsFolder, TheInstalledNotepadIsTheLauncherHoweverItIsStarted)
{
    for (const std::wstring& notepad :
         {std::wstring(L"C:\\Windows\\notepad.exe"), std::wstring(L"C:\\WINDOWS\\NOTEPAD.EXE")}) {
        ::DeleteFileW(kEditorRecord.c_str());
        Process launcher = Start(notepad, L"notepad.exe C:\\memo.txt");
        EXPECT_EQ(launcher.Wait(10s), 0) << notepad;
        const EditorRecord record = ReadEditorRecord(kEditorRecord);
        ASSERT_TRUE(record.present) << notepad << ": no editor started (set-up instead?)";
        EXPECT_EQ(record.commandLine, L"\"" + kStandInEditor + L"\" C:\\memo.txt");
    }
}

TEST_F(RenamedWindowsFolder, WithoutACommandLineTheRegistrationWindowOpens)
{
    Process launcher = Start(L"C:\\Windows\\notepad.exe", L"notepad.exe");
    ExpectRegistrationWindowThenClose(launcher);
}

} // namespace
} // namespace zn::e2e
