#include "startup/startup_host_win32.h"

#include "common/error_code_of.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>

namespace zn {
namespace {

std::wstring ModulePath()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return std::wstring(buffer, n);
}

TEST(OwnExecutable, IsItsFolderAndTheFileTheSystemRuns)
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
    EXPECT_NE(self.folder.back(), L'\\');
}

TEST(ProbeEditor, KnowsThisProgramHoweverItsPathIsSpelled)
{
    Win32StartupHost host;
    host.LocateOwnExecutable();
    const std::wstring path = ModulePath();
    std::wstring upper = path;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    wchar_t shortPath[MAX_PATH * 4] = {};
    ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH * 4);

    EXPECT_EQ(host.ProbeEditor(path), EditorProbe::ThisProgram);
    EXPECT_EQ(host.ProbeEditor(upper), EditorProbe::ThisProgram);
    EXPECT_EQ(host.ProbeEditor(shortPath), EditorProbe::ThisProgram) << shortPath;
}

TEST(ProbeEditor, FoldersAndMissingFilesAreNoFiles)
{
    Win32StartupHost host;
    EXPECT_EQ(host.ProbeEditor(L"C:\\windows"), EditorProbe::NoSuchFile);
    EXPECT_EQ(host.ProbeEditor(L"C:\\windows\\system32"), EditorProbe::NoSuchFile);
    EXPECT_EQ(host.ProbeEditor(L"C:\\no\\such\\editor.exe"), EditorProbe::NoSuchFile);
    EXPECT_EQ(host.ProbeEditor(L""), EditorProbe::NoSuchFile);
    EXPECT_EQ(host.ProbeEditor(L"C:\\windows\\system32\\cmd.exe"), EditorProbe::File);
}

TEST(StartEditorAndWait, WaitsAndReturnsTheEditorsExitCode)
{
    Win32StartupHost host;
    EXPECT_EQ(host.StartEditorAndWait(L"C:\\windows\\system32\\cmd.exe",
                                      L"\"C:\\windows\\system32\\cmd.exe\" /c exit 7"),
              7);
}

TEST(StartEditorAndWait, AFileThatCannotBeStartedIsARaisedErrorNamingIt)
{
    Win32StartupHost host;
    const std::wstring notAProgram = L"C:\\windows\\win.ini";
    try {
        host.StartEditorAndWait(notAProgram, L"\"" + notAProgram + L"\" x");
        FAIL() << "no error raised";
    } catch (const AppError& error) {
        EXPECT_EQ(error.path, notAProgram);
        EXPECT_NE(error.code, 0u);
    }
}

} // namespace
} // namespace zn
