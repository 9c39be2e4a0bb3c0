#include "startup/startup_host_win32.h"
#include "startup/windows_folder_win32.h"

#include "built_program.h"
#include "file_bytes.h"
#include "common/editor_check.h"
#include "common/error_code_of.h"
#include "common/pe_image.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zn {
namespace {

std::wstring ModulePath()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return std::wstring(buffer, n);
}

// A folder of the test's own in the user's temporary folder, removed with its files afterwards:
// on a Windows host the tests leave nothing behind.
class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        m_path = std::wstring(temp) + L"startup_host_test";
        Remove();
        ::CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchFolder() { Remove(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring operator/(const wchar_t* name) const { return m_path + L"\\" + name; }

private:
    void Remove() const
    {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(m_path), ignored);
    }

    std::wstring m_path;
};

// A program of the system folder, which every system has.
std::wstring SystemProgram(const wchar_t* name)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

TEST(OwnExecutable, IsItsFolderItsNameAndTheFileTheSystemRuns)
{
    Win32StartupHost host;
    const OwnExecutable self = host.LocateOwnExecutable();
    const std::wstring path = ModulePath();
    const std::size_t slash = path.rfind(L'\\');
    EXPECT_EQ(
        ::CompareStringOrdinal(self.folder.c_str(), -1, path.substr(0, slash).c_str(), -1, TRUE),
        CSTR_EQUAL)
        << "folder " << self.folder << " module " << path;
    EXPECT_EQ(self.path, path); // the running file itself, whatever its name
    EXPECT_EQ(self.fileName, L"zn_wine_tests.exe");
    EXPECT_NE(self.folder.back(), L'\\');
}

// Every copy of the program, wherever and however named, tells itself by its version
// resource, read from the file in a few bounded pieces.
TEST(OpenEditor, KnowsAnyCopyOfThisProgramByItsVersionResource)
{
    const ScratchFolder scratch;
    const std::wstring copy = scratch / L"copy of an editor.exe";
    ASSERT_TRUE(::CopyFileW(BuiltProgramPath().c_str(), copy.c_str(), FALSE));
    const std::wstring other = SystemProgram(L"cmd.exe");
    Win32StartupHost host;
    EXPECT_EQ(JudgeEditor(copy, host.OpenEditor(copy), false), EditorVerdict::ThisProgram);
    EXPECT_EQ(JudgeEditor(other, host.OpenEditor(other), false), EditorVerdict::Ok);
}

TEST(OpenEditor, FoldersAndMissingFilesAreNoFiles)
{
    Win32StartupHost host;
    const std::wstring windows = WindowsFolder();
    const struct {
        std::wstring path;
        EditorProbe probe;
    } rows[] = {
        {windows, EditorProbe::Folder},
        {windows + L"\\", EditorProbe::Folder},
        {windows + L"\\system32", EditorProbe::Folder},
        {windows + L"\\no such editor.exe", EditorProbe::NoSuchFile},
        {windows + L"\\no\\such\\editor.exe", EditorProbe::NoSuchFile},
        {std::wstring(), EditorProbe::NoSuchFile},
    };
    for (const auto& row : rows)
        EXPECT_EQ(host.OpenEditor(row.path).probe, row.probe) << row.path;
}

// The one question the launcher asks about a document with blanks: whether it is one file,
// there or to be made in a folder that is there (error 2, not 3, from the attribute query).
TEST(PlaceOfDocument, IsAFileOrANewFileInAFolderThatIsThere)
{
    const ScratchFolder scratch;
    const std::wstring folder = scratch / L"My Notes";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring existing = folder + L"\\New Text Document.txt";
    WriteFileBytes(existing, "memo");
    const struct {
        std::wstring path;
        DocumentPlace place;
    } rows[] = {
        {existing, DocumentPlace::File},
        {folder + L"\\not yet there.txt", DocumentPlace::NewFile},
        {scratch / L"no such folder\\a b.txt", DocumentPlace::Elsewhere},
        {folder, DocumentPlace::Elsewhere},
        {existing + L"\\a b.txt", DocumentPlace::Elsewhere},
    };
    Win32StartupHost host;
    for (const auto& row : rows)
        EXPECT_EQ(host.PlaceOfDocument(row.path), row.place) << row.path;
}

TEST(OpenEditor, ReadsAsMuchOfTheStartAsAProgramsHeadersTake)
{
    const ScratchFolder folder;
    const std::wstring longText = folder / L"long.txt", empty = folder / L"empty.exe";
    WriteFileBytes(longText, std::string(10000, 'x'));
    WriteFileBytes(empty, "");
    Win32StartupHost host;

    const EditorFile program = host.OpenEditor(SystemProgram(L"cmd.exe"));
    EXPECT_EQ(program.probe, EditorProbe::File);
    EXPECT_EQ(program.head.size(), kProgramHeadBytes);
    EXPECT_TRUE(IsProgramImage(program.head));

    const EditorFile text = host.OpenEditor(longText);
    EXPECT_EQ(text.probe, EditorProbe::File);
    EXPECT_EQ(text.head, std::vector<std::uint8_t>(kProgramHeadBytes, 'x'));

    const EditorFile nothing = host.OpenEditor(empty);
    EXPECT_EQ(nothing.probe, EditorProbe::File);
    EXPECT_TRUE(nothing.head.empty());
}

// Between the check and the start nobody may put another file in the editor's place.
TEST(OpenEditor, HoldsTheEditorUnchangeableUntilItHasStarted)
{
    const ScratchFolder folder;
    const std::wstring editor = folder / L"held.exe", moved = folder / L"moved.exe";
    ASSERT_TRUE(::CopyFileW(SystemProgram(L"cmd.exe").c_str(), editor.c_str(), FALSE));
    Win32StartupHost host;
    ASSERT_EQ(host.OpenEditor(editor).probe, EditorProbe::File);

    const HANDLE writer = ::CreateFileW(editor.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
    EXPECT_FALSE(::MoveFileW(editor.c_str(), moved.c_str()));
    EXPECT_FALSE(::DeleteFileW(editor.c_str()));
    // Reading it stays possible: a second launch checks the same editor at the same time.
    Win32StartupHost second;
    EXPECT_EQ(second.OpenEditor(editor).probe, EditorProbe::File);

    EXPECT_EQ(host.StartEditorAndWait(editor, L"\"" + editor + L"\" /c exit 5"), 5);
    EXPECT_EQ(second.StartEditorAndWait(editor, L"\"" + editor + L"\" /c exit 6"), 6);
    // Started, it is released: the user may replace the editor while it runs.
    EXPECT_TRUE(::MoveFileW(editor.c_str(), moved.c_str())) << ::GetLastError();
}

TEST(OpenEditor, AFileThatCannotBeReadIsARaisedErrorNamingIt)
{
    const ScratchFolder folder;
    const std::wstring editor = folder / L"written.exe";
    ASSERT_TRUE(::CopyFileW(SystemProgram(L"cmd.exe").c_str(), editor.c_str(), FALSE));
    // Another program is writing it: what it will hold cannot be checked.
    const HANDLE writer = ::CreateFileW(editor.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Win32StartupHost host;
    try {
        host.OpenEditor(editor);
        ADD_FAILURE() << "no error raised";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(error.path, editor);
    }
    ::CloseHandle(writer);
}

TEST(StartEditorAndWait, WaitsAndReturnsTheEditorsExitCode)
{
    Win32StartupHost host;
    const std::wstring cmd = SystemProgram(L"cmd.exe");
    EXPECT_EQ(host.StartEditorAndWait(cmd, L"\"" + cmd + L"\" /c exit 7"), 7);
}

TEST(StartEditorAndWait, AFileThatCannotBeStartedIsARaisedErrorNamingIt)
{
    const ScratchFolder folder;
    const std::wstring notAProgram = folder / L"notes.txt";
    WriteFileBytes(notAProgram, "not a program\r\n");
    Win32StartupHost host;
    try {
        host.StartEditorAndWait(notAProgram, L"\"" + notAProgram + L"\" x");
        FAIL() << "no error raised";
    } catch (const AppError& error) {
        EXPECT_EQ(error.path, notAProgram);
        EXPECT_NE(error.code, 0u);
    }
}

// The C++ runtime's default terminate handler and the demangler it brings are replaced: they
// wrote to a standard error stream that a window program has not, and took a quarter of the
// program's size.
TEST(BuiltProgram, CarriesNoCxxDemangler)
{
    const std::wstring path = BuiltProgramPath();
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4096u);
    // Texts only the demangler and the default terminate handler carry.
    for (const char* text : {"(anonymous namespace)", "terminate called after throwing"})
        EXPECT_EQ(bytes.find(text), std::string::npos) << text;
}

} // namespace
} // namespace zn
