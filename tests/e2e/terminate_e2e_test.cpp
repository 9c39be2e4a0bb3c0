// What the user sees when an error escapes where none may: the program's own report of an
// unexpected error, and exit code 4 (a defect), not the C++ runtime's abort.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

namespace zn::e2e {
namespace {

TEST(TerminateHandler, ReportsAnUnexpectedErrorAndEndsWithCode4)
{
    wchar_t probe[4096] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"ZN_TERMINATE_PROBE", probe, 4096), 0u);
    std::wstring path = probe;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (path[0] == L'\\') path = L"Z:" + path;

    Process process = Start(path, L"terminate_probe.exe");
    const HWND box = WaitForMessageBox(process.Id(), L"ZanvekNotePad");
    ASSERT_NE(box, nullptr) << "no report";
    EXPECT_EQ(MessageBoxText(box).rfind(L"予期しないエラーが発生しました。", 0), 0u)
        << MessageBoxText(box);
    Answer(box, IDOK);
    EXPECT_EQ(process.Wait(), 4);
}

} // namespace
} // namespace zn::e2e
