// Opens the registration window in one of its stages and keeps it open for a while, for the
// pictures tools/screenshot.sh takes. Nothing is stored: the store is a stand-in, and so is
// what the checks find at the editor's path (a program, which sakura.exe is not here).
//   zn_window_stage.exe <stage> [seconds]
// Stages: waiting, asking, registered-copy, registered-redirect, store-failed, not-full-path.
#include "common/pe_image_builder.h"
#include "window/fmain_win32.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

HWND g_window = nullptr;

void CALLBACK CloseWindow(HWND, UINT, UINT_PTR, DWORD)
{
    ::PostMessageW(g_window, WM_CLOSE, 0, 0);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace zn;
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const std::wstring stage = count > 1 ? args[1] : L"waiting";
    const int seconds = count > 2 ? std::stoi(args[2]) : 5;
    ::LocalFree(args);

    const std::wstring editor = L"C:\\Program Files\\sakura\\sakura.exe";
    const InstallKind kind =
        stage == L"registered-redirect" ? InstallKind::Redirect : InstallKind::Copy;
    const std::uint32_t status = stage == L"store-failed" ? ERROR_ACCESS_DENIED : 0;
    try {
        const OleScope ole;
        const ProbeSetting program = [](const std::wstring&) {
            return ProbedPath{{EditorProbe::File, testing::PeImage({}), {}}, std::nullopt};
        };
        Fmain window(
            WindowSettings{kind}, [status](const std::wstring&) { return status; }, program);
        window.Create();
        if (stage == L"not-full-path") {
            // Typed by hand, then a drop that brings no files tests the text box's text.
            ::SetWindowTextW(window.Control(kText1), L"sakura.exe");
            window.Text1_OLEDragDrop(std::nullopt, 1);
            window.cmdYes_Click();
        } else if (stage != L"waiting") {
            window.Text1_OLEDragDrop(std::vector<std::wstring>{editor}, 7);
            if (stage != L"asking") window.cmdYes_Click();
        }
        window.Show();
        g_window = window.Window();
        ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, &CloseWindow);
        return window.RunMessageLoop();
    } catch (...) {
        return 3;
    }
}
