#include "common/full_path.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(FullPath, OnlyADriveOrUncPathNamesAFileWhereverTheProgramRuns)
{
    const struct {
        std::wstring_view path;
        bool full;
    } rows[] = {
        {L"C:\\Tools\\ed.exe", true},
        {L"c:/Tools/ed.exe", true},
        {L"Z:\\", true},
        {L"\\\\server\\share\\ed.exe", true},
        {L"\\\\server\\share", true},
        {L"\\\\?\\C:\\Tools\\ed.exe", true},
        {L"\\\\?\\UNC\\server\\share\\ed.exe", true},
        {L"ed.exe", false},              // looked up in the caller's current folder
        {L"Tools\\ed.exe", false},       // relative to it
        {L"..\\ed.exe", false},          // relative to it
        {L".\\ed.exe", false},           // relative to it
        {L"\\Tools\\ed.exe", false},     // on the current drive, whichever it is
        {L"C:ed.exe", false},            // in the current folder of drive C:
        {L"C:", false},                  // the same
        {L"1:\\ed.exe", false},          // no such drive letter
        {L"\\\\server", false},          // a server without a share
        {L"\\\\server\\", false},        // the same
        {L"\\\\\\share\\ed.exe", false}, // a share without a server
        {L"\\\\.\\pipe\\ed", false},     // a device, not a file
        {L"\\\\?\\", false},             // a prefix with nothing behind it
        {L"\\\\?\\ed.exe", false},       // the prefix does not make a relative path full
        {L"\\\\?\\UNC\\server", false},  // a server without a share
        {L"", false},
        {L" C:\\ed.exe", false}, // nothing may come before the drive
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsFullPath(row.path), row.full) << std::wstring(row.path);
}

// Win32 takes a path of MAX_PATH characters or more only in its "\\?\" form, and takes that
// form as it stands: the conversion first does what Win32 would have done.
TEST(FullPath, ExtendedLengthFormIsTheSameFileAsWin32WouldOpen)
{
    const struct {
        std::wstring_view path, extended;
    } rows[] = {
        {L"C:\\Tools\\ed.exe", L"\\\\?\\C:\\Tools\\ed.exe"},
        {L"\\\\server\\share\\ed.exe", L"\\\\?\\UNC\\server\\share\\ed.exe"},
        {L"c:/Tools//x/./ed.exe", L"\\\\?\\c:\\Tools\\x\\ed.exe"},
        {L"C:\\Tools\\x\\..\\ed.exe", L"\\\\?\\C:\\Tools\\ed.exe"},
        {L"C:\\..\\..\\ed.exe", L"\\\\?\\C:\\ed.exe"}, // never above the drive
        {L"\\\\server\\share\\..\\ed.exe", L"\\\\?\\UNC\\server\\share\\ed.exe"}, // nor the share
        {L"C:\\Tools\\ed.exe. . ", L"\\\\?\\C:\\Tools\\ed.exe"}, // the last name as opened
        {L"C:\\Tools.\\ed.exe", L"\\\\?\\C:\\Tools\\ed.exe"},
        {L"C:\\My Notes\\", L"\\\\?\\C:\\My Notes\\"},
        {L"C:\\", L"\\\\?\\C:\\"},
        {L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"}, // already in that form: as it is
        {L"ed.exe", L"ed.exe"},                           // no full path: as it is
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExtendedLengthPath(row.path), row.extended) << std::wstring(row.path);
}

} // namespace
} // namespace zn
