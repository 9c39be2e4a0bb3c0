// Set-up's file operations on the real (Wine) file system: how they tell files apart, the
// failures they raise, and the lock between set-ups.
#include "setup/setup_host_win32.h"

#include "common/app_error.h"
#include "common/security_win32.h"
#include "setup/program_copy.h"

#include "wine/built_program.h"
#include "wine/file_bytes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace zn {
namespace {

AppError ErrorOf(auto&& call)
{
    try {
        call();
    } catch (const AppError& error) {
        return error;
    }
    return AppError(0, L"no error");
}

class SetupHostFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        ::CreateDirectoryW(Path(L"folder").c_str(), nullptr);
        for (const auto& [name, bytes] : {std::pair<const wchar_t*, std::string>{L"a.txt", "a"},
                                          {L"a2.txt", "a"},
                                          {L"ab.txt", "ab"},
                                          {L"b.txt", "b"},
                                          {L"empty.txt", ""},
                                          {L"ro.txt", "read-only"}}) {
            ::SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
            Write(Path(name), bytes);
        }
        ::SetFileAttributesW(Path(L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        for (const wchar_t* name : {L"c.txt", L"moved.txt"})
            ::DeleteFileW(Path(name).c_str());
    }
    void TearDown() override
    {
        ::SetFileAttributesW(Path(L"ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    std::wstring Path(const wchar_t* name) const { return m_folder + L"\\" + name; }

    static void Write(const std::wstring& path, const std::string& bytes)
    {
        WriteFileBytes(path, bytes);
    }
    static std::string Read(const std::wstring& path) { return ReadFileBytes(path); }

    // A folder of the user's own, on any host.
    static std::wstring ScratchFolder()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        return std::wstring(temp) + L"zn-setup-host-test";
    }

    const std::wstring m_folder = ScratchFolder();
    Win32SetupHost m_host;
};

TEST_F(SetupHostFiles, TellsProgramsFromOtherFilesAndThisProgramFromOtherPrograms)
{
    const std::wstring renamed = Path(L"setup.dat");
    ASSERT_TRUE(::CopyFileW(BuiltProgramPath().c_str(), renamed.c_str(), FALSE));
    const struct {
        std::wstring path;
        bool isFile;
        FileKind kind;
    } rows[] = {
        {Path(L"missing.txt"), false, FileKind::None},
        {L"C:\\no\\such\\folder\\notepad.exe", false, FileKind::None},
        {Path(L"folder"), false, FileKind::None},
        {Path(L"empty.txt"), true, FileKind::Other},
        {Path(L"a.txt"), true, FileKind::Other},
        {L"C:\\windows\\system32\\kernel32.dll", true, FileKind::Other}, // a DLL is no program
        {L"C:\\windows\\notepad.exe", true, FileKind::Program},
        {L"C:\\windows\\system32\\cmd.exe", true, FileKind::Program},
        {BuiltProgramPath(), true, FileKind::ThisProgram},
        {renamed, true, FileKind::ThisProgram}, // by its content, not its name
    };
    for (const auto& row : rows) {
        EXPECT_EQ(m_host.IsFile(row.path), row.isFile) << row.path;
        EXPECT_EQ(m_host.Inspect(row.path), row.kind) << row.path;
    }
}

TEST_F(SetupHostFiles, AFileThatCannotBeReadCannotBeToldApart)
{
    const HANDLE held =
        ::CreateFileW(Path(L"a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const AppError& error : {ErrorOf([&] { m_host.Inspect(Path(L"a.txt")); }), ErrorOf([&] {
                                      m_host.SameBytes(Path(L"a2.txt"), Path(L"a.txt"));
                                  })}) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(error.what, L"ファイルを確認できませんでした。");
        EXPECT_EQ(error.path, Path(L"a.txt"));
    }
    ::CloseHandle(held);
}

TEST_F(SetupHostFiles, SameBytesComparesWholeFiles)
{
    // Larger than one chunk of the comparison, differing only in the last byte.
    std::string big(3 * 1024 * 1024 + 5, 'x');
    Write(Path(L"big1.bin"), big);
    Write(Path(L"big2.bin"), big);
    big.back() = 'y';
    Write(Path(L"big3.bin"), big);
    const struct {
        const wchar_t *a, *b;
        bool same;
    } rows[] = {
        {L"a.txt", L"a2.txt", true},      {L"a.txt", L"b.txt", false},
        {L"a.txt", L"ab.txt", false},     {L"ab.txt", L"a.txt", false},
        {L"big1.bin", L"big2.bin", true}, {L"big1.bin", L"big3.bin", false},
        {L"a.txt", L"missing", false},    {L"missing", L"missing", false},
        {L"a.txt", L"folder", false},     {L"empty.txt", L"empty.txt", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(m_host.SameBytes(Path(row.a), Path(row.b)), row.same) << row.a << " " << row.b;
}

TEST_F(SetupHostFiles, ExclusiveOperationsNeverReplaceAFile)
{
    const AppError moved =
        ErrorOf([&] { m_host.MoveFileExclusive(Path(L"a.txt"), Path(L"b.txt")); });
    EXPECT_EQ(moved.code, static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(moved.what, L"ファイルの名前を変更できませんでした。");
    EXPECT_EQ(moved.path, Path(L"a.txt") + L"\r\n→ " + Path(L"b.txt"));

    const AppError copied =
        ErrorOf([&] { m_host.CopyFileExclusive(Path(L"a.txt"), Path(L"b.txt")); });
    EXPECT_EQ(copied.code, static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
    EXPECT_EQ(copied.what, L"ファイルをコピーできませんでした。");
    EXPECT_EQ(Read(Path(L"b.txt")), "b");
    EXPECT_EQ(Read(Path(L"a.txt")), "a");

    m_host.CopyFileExclusive(Path(L"a.txt"), Path(L"c.txt"));
    EXPECT_EQ(Read(Path(L"c.txt")), "a");
    m_host.MoveFileExclusive(Path(L"c.txt"), Path(L"moved.txt"));
    EXPECT_EQ(Read(Path(L"moved.txt")), "a");
    EXPECT_FALSE(m_host.IsFile(Path(L"c.txt")));
}

TEST_F(SetupHostFiles, MoveOverReplacesOrChangesNothing)
{
    m_host.MoveFileOver(Path(L"a.txt"), Path(L"b.txt"));
    EXPECT_EQ(Read(Path(L"b.txt")), "a");
    EXPECT_FALSE(m_host.IsFile(Path(L"a.txt")));
    m_host.MoveFileOver(Path(L"b.txt"), Path(L"c.txt")); // nothing to replace
    EXPECT_EQ(Read(Path(L"c.txt")), "a");

    // The source held open by another program that lets others read but not delete it.
    const HANDLE held = ::CreateFileW(Path(L"ab.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const AppError error = ErrorOf([&] { m_host.MoveFileOver(Path(L"ab.txt"), Path(L"c.txt")); });
    ::CloseHandle(held);
    EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(error.what, L"ファイルを置き換えられませんでした。");
    EXPECT_EQ(error.path, Path(L"ab.txt") + L"\r\n→ " + Path(L"c.txt"));
    EXPECT_EQ(Read(Path(L"c.txt")), "a");
    EXPECT_EQ(Read(Path(L"ab.txt")), "ab");
}

TEST_F(SetupHostFiles, ReplacingAReadOnlyFileIsRefusedWithAdvice)
{
    EXPECT_TRUE(m_host.IsReadOnly(Path(L"ro.txt")));
    EXPECT_FALSE(m_host.IsReadOnly(Path(L"a.txt")));
    const AppError error = ErrorOf([&] { m_host.MoveFileOver(Path(L"a.txt"), Path(L"ro.txt")); });
    EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(error.advice,
              L"ファイルの読み取り専用属性を解除してから、もう一度実行してください。");
    EXPECT_EQ(Read(Path(L"ro.txt")), "read-only");
    EXPECT_EQ(Read(Path(L"a.txt")), "a");

    // Denied for another reason (here: a folder in the way): administrator rights are asked for
    // only where the run lacks them (never under Wine, where every process has them).
    const AppError denied = ErrorOf([&] { m_host.MoveFileOver(Path(L"a.txt"), Path(L"folder")); });
    EXPECT_EQ(denied.code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(denied.advice == L"管理者として実行してください。", !IsProcessElevated())
        << testing::PrintToString(denied.advice);
    const DWORD folder = ::GetFileAttributesW(Path(L"folder").c_str());
    EXPECT_TRUE(folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY) != 0);
    EXPECT_EQ(Read(Path(L"a.txt")), "a");

    // Nothing to move: no advice, just the reason.
    const AppError missing =
        ErrorOf([&] { m_host.MoveFileOver(Path(L"missing.txt"), Path(L"c.txt")); });
    EXPECT_EQ(missing.code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.advice, L"");
}

// This test program is the running image here: held, it cannot be changed or renamed, and what
// is written is its bytes, into a new file named as set-up's own.
TEST_F(SetupHostFiles, TheHeldRunningImageIsWhatACopyHolds)
{
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    {
        Win32SetupHost host;
        host.HoldRunningImage();
        EXPECT_FALSE(::MoveFileW(self, Path(L"renamed.exe").c_str()));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(::CreateFileW(self, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);

        const std::wstring first = host.TemporaryPath(m_folder);
        const std::wstring second = host.TemporaryPath(m_folder);
        EXPECT_NE(first, second);
        host.WriteProgramCopy(first);
        EXPECT_EQ(Read(first), Read(self));
        EXPECT_EQ(host.Inspect(first), FileKind::Program); // a test program, not ZanvekNotepad
        // Never over an existing file.
        EXPECT_EQ(ErrorOf([&] { host.WriteProgramCopy(first); }).code,
                  static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
        ::CreateDirectoryW(second.c_str(), nullptr); // a folder of that name is no leftover
        EXPECT_EQ(host.TemporaryFiles(m_folder), std::vector<std::wstring>{first});
        host.RemoveFile(first);
        ::RemoveDirectoryW(second.c_str());
    }
    // Let go with the set-up: the file can be renamed again.
    ASSERT_TRUE(::MoveFileW(self, Path(L"renamed.exe").c_str()));
    ASSERT_TRUE(::MoveFileW(Path(L"renamed.exe").c_str(), self));
}

TEST_F(SetupHostFiles, RemoveFileRefusesWhatTheSystemWouldNotLetGo)
{
    m_host.RemoveFile(Path(L"a.txt"));
    EXPECT_FALSE(m_host.IsFile(Path(L"a.txt")));

    // A running program: this program started from here is a set-up waiting at its prompt; it
    // holds its file shared for reading only.
    const std::wstring running = Path(L"running.exe");
    ::DeleteFileW(running.c_str());
    ASSERT_TRUE(::CopyFileW(BuiltProgramPath().c_str(), running.c_str(), FALSE));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + running + L"\"";
    ASSERT_TRUE(::CreateProcessW(running.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &startup, &process));
    ::CloseHandle(process.hThread);
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    const AppError inUse = ErrorOf([&] { m_host.RemoveFile(running); });
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, 5000);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(inUse.code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(inUse.what, L"ファイルを削除できませんでした。");
    EXPECT_EQ(inUse.path, running);

    const struct {
        const wchar_t* name;
        DWORD code;
        const wchar_t* advice;
    } rows[] = {
        {L"ro.txt", ERROR_ACCESS_DENIED,
         L"ファイルの読み取り専用属性を解除してから、もう一度実行してください。"},
        {L"missing.txt", ERROR_FILE_NOT_FOUND, L""},
    };
    for (const auto& row : rows) {
        const AppError error = ErrorOf([&] { m_host.RemoveFile(Path(row.name)); });
        EXPECT_EQ(error.code, row.code) << row.name;
        EXPECT_EQ(error.advice, row.advice) << row.name;
    }
    EXPECT_EQ(Read(Path(L"ro.txt")), "read-only");
    m_host.RemoveFile(running); // once it has ended
    EXPECT_FALSE(m_host.IsFile(running));
}

TEST(SetupLock, OneHolderAtATimeInTheGlobalNamespace)
{
    Win32SetupHost host;
    {
        const std::unique_ptr<SetupLock> first = host.LockSetup();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(host.LockSetup(), nullptr);
        std::unique_ptr<SetupLock> fromAnotherThread;
        std::thread([&] { fromAnotherThread = Win32SetupHost().LockSetup(); }).join();
        EXPECT_EQ(fromAnotherThread, nullptr);
        // Seen under that name by every session's set-up.
        const HANDLE named = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\ZanvekNotepadSetup");
        EXPECT_NE(named, nullptr);
        if (named != nullptr) ::CloseHandle(named);
    }
    EXPECT_NE(host.LockSetup(), nullptr); // let go: the next one gets it
}

} // namespace
} // namespace zn
