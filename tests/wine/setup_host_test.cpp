// Set-up's file operations on the real (Wine) file system: the failures they raise, and how
// they tell this program from any other executable.
#include "setup/setup_host_win32.h"

#include "common/app_error.h"

#include "wine/built_program.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace zn {
namespace {

class SetupHostFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        for (const wchar_t* name : {L"\\a.txt", L"\\b.txt", L"\\ro.txt"}) {
            ::SetFileAttributesW((m_folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW((m_folder + name).c_str());
        }
        Write(m_folder + L"\\a.txt", "a");
        Write(m_folder + L"\\b.txt", "b");
        Write(m_folder + L"\\ro.txt", "read-only");
        ::SetFileAttributesW((m_folder + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    void TearDown() override
    {
        ::SetFileAttributesW((m_folder + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    static void Write(const std::wstring& path, const char* text)
    {
        const HANDLE file =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
        ::CloseHandle(file);
    }

    static AppError ErrorOf(auto&& call)
    {
        try {
            call();
        } catch (const AppError& error) {
            return error;
        }
        return AppError(0, L"no error");
    }

    const std::wstring m_folder = L"C:\\setup-host-test";
    Win32SetupHost m_host;
};

TEST_F(SetupHostFiles, OnlyFilesAreFilesAndOnlyThisProgramIsThisProgram)
{
    EXPECT_TRUE(m_host.IsFile(m_folder + L"\\a.txt"));
    EXPECT_FALSE(m_host.IsFile(m_folder));
    EXPECT_FALSE(m_host.IsFile(m_folder + L"\\missing.txt"));

    EXPECT_TRUE(m_host.IsThisProgram(BuiltProgramPath()));
    EXPECT_FALSE(
        m_host.IsThisProgram(L"C:\\windows\\system32\\kernel32.dll")); // has a version resource
    EXPECT_FALSE(m_host.IsThisProgram(m_folder + L"\\a.txt"));
    EXPECT_FALSE(m_host.IsThisProgram(m_folder + L"\\missing.txt"));
}

TEST_F(SetupHostFiles, FailuresNameTheOperationTheFilesAndWhatToDo)
{
    // A move never replaces an existing file.
    const AppError exists =
        ErrorOf([&] { m_host.RenameFile(m_folder + L"\\a.txt", m_folder + L"\\b.txt"); });
    EXPECT_EQ(exists.code, static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(exists.what, L"ファイルの名前を変更できませんでした。");
    EXPECT_EQ(exists.path, m_folder + L"\\a.txt\r\n→ " + m_folder + L"\\b.txt");

    // A read-only file is neither deleted nor overwritten; the advice says why.
    for (const auto& error :
         {ErrorOf([&] { m_host.RemoveFile(m_folder + L"\\ro.txt"); }),
          ErrorOf([&] { m_host.CopyFileOver(m_folder + L"\\a.txt", m_folder + L"\\ro.txt"); })}) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(error.advice,
                  L"ファイルの読み取り専用属性を解除してから、もう一度実行してください。");
    }

    // Denied for another reason (here: a folder): run as administrator.
    const AppError denied = ErrorOf([&] { m_host.RemoveFile(m_folder); });
    EXPECT_EQ(denied.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(denied.what, L"ファイルを削除できませんでした。");
    EXPECT_EQ(denied.advice, L"管理者として実行してください。");

    // Nothing to copy: no advice, just the reason.
    const AppError missing =
        ErrorOf([&] { m_host.CopyFileOver(m_folder + L"\\missing.txt", m_folder + L"\\c.txt"); });
    EXPECT_EQ(missing.code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.advice, L"");
}

TEST_F(SetupHostFiles, CopyOverwritesAndMoveMoves)
{
    m_host.CopyFileOver(m_folder + L"\\a.txt", m_folder + L"\\b.txt");
    m_host.RenameFile(m_folder + L"\\b.txt", m_folder + L"\\c.txt");
    EXPECT_FALSE(m_host.IsFile(m_folder + L"\\b.txt"));
    EXPECT_TRUE(m_host.IsFile(m_folder + L"\\c.txt"));
    m_host.RemoveFile(m_folder + L"\\c.txt");
    EXPECT_FALSE(m_host.IsFile(m_folder + L"\\c.txt"));
}

} // namespace
} // namespace zn
