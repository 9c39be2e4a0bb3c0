// The registration window in process: created by the test, its handlers called directly and
// through its OLE drop target, its controls read back.
#include "window/fmain_win32.h"

#include "common/app_error.h"
#include "settings/registry_win32.h"
#include "settings/editor_setting.h"
#include "window/registration_texts.h"
#include "common/file_drop_data_win32.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>

namespace zn {
namespace {

std::wstring TextOf(HWND window)
{
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// A control's rectangle relative to the window's client area, in pixels.
PixelRect RectOf(HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Drains what the window left in this thread's queue (WM_QUIT after it was destroyed).
void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&message);
}

class RegistrationWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<Fmain>([this](const std::wstring& path) {
            m_stored.push_back(path);
            return m_storeSucceeds ? 0u : 5u; // ERROR_ACCESS_DENIED
        });
        m_window->Create();
        m_window->Show();
    }
    void TearDown() override
    {
        m_window.reset();
        Pump();
    }

    HWND Control(ControlId id) const { return m_window->Control(id); }
    PixelRect Expected(const TwipsRect& twips) const
    {
        return ToClientPixels(twips, m_window->Dpi());
    }
    void Drop(const std::vector<std::wstring>& files, std::int32_t effect = 7)
    {
        m_window->Text1_OLEDragDrop(DroppedFiles(files), effect);
    }
    void TypeIntoText1(const std::wstring& text)
    {
        ::SetWindowTextW(Control(kText1), text.c_str());
    }

    OleScope m_ole;
    std::unique_ptr<Fmain> m_window;
    std::vector<std::wstring> m_stored;
    bool m_storeSucceeds = true;
};

TEST_F(RegistrationWindow, AfterLoadItWaitsForADrop)
{
    EXPECT_EQ(TextOf(m_window->Window()), L"ZanvekNotePad V1.10");
    EXPECT_EQ(TextOf(Control(kText1)), L"");
    EXPECT_EQ(TextOf(Control(kLabel1)), L"↑\"*.exe\"をドロップ");
    EXPECT_EQ(TextOf(Control(kLabel2)),
              L"メモ帳のかわりに起動したいエディタをドロップしてください");
    EXPECT_EQ(TextOf(Control(kCmdYes)), L"Yes");
    EXPECT_EQ(TextOf(Control(kCmdNo)), L"Close");
    EXPECT_TRUE(::IsWindowVisible(Control(kText1)));
    EXPECT_TRUE(::IsWindowVisible(Control(kLabel1)));
    EXPECT_TRUE(::IsWindowVisible(Control(kLabel2)));
    EXPECT_FALSE(::IsWindowVisible(Control(kCmdYes)));
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdNo)));
    EXPECT_EQ(::GetFocus(), Control(kText1));
}

TEST_F(RegistrationWindow, GeometryIsTheLayoutInPixelsInsideAFixedClientArea)
{
    RECT client{};
    ::GetClientRect(m_window->Window(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(4545, m_window->Dpi()));
    EXPECT_EQ(client.bottom, TwipsToPixels(1695, m_window->Dpi()));
    for (const ControlLayout& control : kControls)
        EXPECT_EQ(RectOf(Control(control.id)), Expected(control.twips)) << control.id;
    const LONG style = ::GetWindowLongW(m_window->Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(::GetParent(m_window->Window()), nullptr); // no owner
}

TEST_F(RegistrationWindow, FontsTabOrderStackingAndNoDefaultButton)
{
    LOGFONTW hint{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Control(kLabel1), WM_GETFONT, 0, 0)),
                 sizeof(hint), &hint);
    EXPECT_STREQ(hint.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(hint.lfHeight, -::MulDiv(1425, m_window->Dpi(), 7200)); // 14.25 points
    EXPECT_EQ(hint.lfWeight, 400);
    EXPECT_EQ(hint.lfCharSet, 128);
    EXPECT_NE(::SendMessageW(Control(kLabel2), WM_GETFONT, 0, 0),
              ::SendMessageW(Control(kLabel1), WM_GETFONT, 0, 0));

    // Front to back: the buttons over Label2, Label2 over Label1 where they overlap.
    std::vector<HWND> stacking;
    for (HWND child = ::GetWindow(m_window->Window(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT))
        stacking.push_back(child);
    EXPECT_EQ(stacking, (std::vector<HWND>{Control(kText1), Control(kCmdYes), Control(kCmdNo),
                                           Control(kLabel2), Control(kLabel1)}));

    Drop({L"C:\\Tools\\Editor.EXE"}); // both buttons visible
    EXPECT_EQ(::GetNextDlgTabItem(m_window->Window(), Control(kText1), FALSE), Control(kCmdYes));
    EXPECT_EQ(::GetNextDlgTabItem(m_window->Window(), Control(kCmdYes), FALSE), Control(kCmdNo));
    EXPECT_EQ(::GetNextDlgTabItem(m_window->Window(), Control(kCmdNo), FALSE), Control(kText1));
    for (const ControlId button : {kCmdYes, kCmdNo})
        EXPECT_EQ(::GetWindowLongW(Control(button), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_EQ(::SendMessageW(Control(kText1), EM_GETLIMITTEXT, 0, 0),
              0x7FFFFFFE); // no length limit
}

TEST_F(RegistrationWindow, DropsAskAboutExecutablesOnly)
{
    Drop({L"C:\\Tools\\Editor.EXE"});
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\Tools\\Editor.EXE");
    EXPECT_EQ(TextOf(Control(kLabel2)), L"Editor.EXEを登録してよろしいですか？");
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));
    EXPECT_EQ(TextOf(Control(kCmdNo)), L"No");

    // A .txt is taken into the text box, but the question and Yes stay; Yes then stores it.
    Drop({L"C:\\Tools\\readme.txt"});
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\Tools\\readme.txt");
    EXPECT_EQ(TextOf(Control(kLabel2)), L"Editor.EXEを登録してよろしいですか？");
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));
    m_window->cmdYes_Click();
    EXPECT_EQ(m_stored, std::vector<std::wstring>{L"C:\\Tools\\readme.txt"});
}

TEST_F(RegistrationWindow, OnlyEffectSevenWithAFileListChangesTheText)
{
    Drop({L"C:\\a\\first.exe", L"C:\\b\\second.exe"});
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\a\\first.exe");

    TypeIntoText1(L"D:\\ed\\ed.exe");
    Drop({L"C:\\x\\ignored.exe"}, 3);
    EXPECT_EQ(TextOf(Control(kText1)), L"D:\\ed\\ed.exe");
    EXPECT_EQ(TextOf(Control(kLabel2)), L"ed.exeを登録してよろしいですか？");

    std::int32_t effect = 7;
    m_window->Text1_OLEDragDrop(std::nullopt, effect); // no file list at all
    EXPECT_EQ(TextOf(Control(kText1)), L"D:\\ed\\ed.exe");
}

TEST_F(RegistrationWindow, YesStoresTheSettingAndConfirmsOnce)
{
    // The real store this time: the settings key is put back as it was afterwards.
    const VariantValue before = ReadRegDefault(HKEY_CURRENT_USER, kSettingsKeyPath, L"");
    Fmain window;
    window.Create();
    std::int32_t effect = 7;
    window.Text1_OLEDragDrop(DroppedFiles({L"C:\\Program Files\\エディタ\\ed.exe"}), effect);
    window.cmdYes_Click();
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, kSettingsKeyPath, L""),
              VariantValue(std::wstring(L"C:\\Program Files\\エディタ\\ed.exe")));
    EXPECT_EQ(
        TextOf(window.Control(kLabel2)),
        L"次回から、メモ帳の変わりにed.exeを起動します\r\n"
        L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
        L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。");
    EXPECT_FALSE(::IsWindowVisible(window.Control(kCmdYes)));
    EXPECT_EQ(TextOf(window.Control(kCmdNo)), L"Close");
    const PixelRect registered = ToClientPixels({3660, 1410, 855, 285}, window.Dpi());
    EXPECT_EQ(RectOf(window.Control(kCmdNo)), registered);

    window.Text1_OLEDragDrop(DroppedFiles({L"C:\\Tools\\ed2.exe"}), effect);
    window.cmdYes_Click();
    EXPECT_EQ(RectOf(window.Control(kCmdNo)), registered); // a second Yes moves it no further

    if (const auto* text = std::get_if<std::wstring>(&before))
        WriteRegValue(HKEY_CURRENT_USER, kSettingsKeyPath, L"", *text);
    else
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kestrane");
}

TEST_F(RegistrationWindow, AFailedStoreLeavesYesForAnotherTry)
{
    m_storeSucceeds = false;
    Drop({L"C:\\Tools\\ed.exe"});
    const PixelRect noBefore = RectOf(Control(kCmdNo));
    m_window->cmdYes_Click();
    EXPECT_EQ(TextOf(Control(kLabel2)), L"登録できませんでした。");
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));
    EXPECT_EQ(TextOf(Control(kCmdNo)), L"No");
    EXPECT_EQ(RectOf(Control(kCmdNo)), noBefore);
}

TEST_F(RegistrationWindow, YesWithAnEmptiedTextBoxStoresTheEmptyText)
{
    Drop({L"C:\\Tools\\ed.exe"});
    TypeIntoText1(L"");
    m_window->cmdYes_Click();
    EXPECT_EQ(m_stored, std::vector<std::wstring>{L""});
    EXPECT_EQ(
        TextOf(Control(kLabel2)).rfind(L"次回から、メモ帳の変わりにを起動します\r\n本来の", 0), 0u);
}

TEST_F(RegistrationWindow, TheOleDropTargetOfText1TakesRealFileLists)
{
    IDropTarget* target = m_window->Text1DropTarget();
    ASSERT_NE(target, nullptr);
    const auto release = [](IDataObject* data) { data->Release(); };
    std::unique_ptr<IDataObject, decltype(release)> files(
        new FileDropData({L"C:\\Tools\\Editor.EXE", L"C:\\Tools\\second.exe"}), release);
    const POINTL point{10, 10};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target->DragEnter(files.get(), MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = 7;
    EXPECT_EQ(target->DragOver(MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = 7;
    EXPECT_EQ(target->Drop(files.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(effect,
              static_cast<DWORD>(DROPEFFECT_COPY)); // never move: the editor stays where it is
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\Tools\\Editor.EXE");
    EXPECT_EQ(TextOf(Control(kLabel2)), L"Editor.EXEを登録してよろしいですか？");

    // Names in the code page (932 here) arrive whole too.
    std::unique_ptr<IDataObject, decltype(release)> narrow(
        new FileDropData({L"C:\\ツール\\エディタ.exe"}, true, false), release);
    effect = 7;
    EXPECT_EQ(target->Drop(narrow.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\ツール\\エディタ.exe");

    // Data without files shows no drop cursor, and a drop of it leaves the text alone.
    std::unique_ptr<IDataObject, decltype(release)> nothing(new FileDropData({}, false), release);
    effect = 7;
    EXPECT_EQ(target->DragEnter(nothing.get(), MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = 7;
    EXPECT_EQ(target->Drop(nothing.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\ツール\\エディタ.exe");
}

TEST_F(RegistrationWindow, NoClosesTheWindowWithoutStoring)
{
    Drop({L"C:\\Tools\\ed.exe"});
    const HWND window = m_window->Window();
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(kCmdNo, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(kCmdNo)));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(m_stored.empty());
    EXPECT_EQ(m_window->RunMessageLoop(), 0); // the loop ends at once: the window is gone
}

TEST_F(RegistrationWindow, AnErrorInAHandlerClosesTheWindowAndIsRaisedAfterTheLoop)
{
    Fmain window([](const std::wstring&) -> std::uint32_t {
        throw AppError(kErrorConversion, L"store failed");
    });
    window.Create();
    std::int32_t effect = 7;
    window.Text1_OLEDragDrop(DroppedFiles({L"C:\\Tools\\ed.exe"}), effect);
    const HWND hwnd = window.Window();
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(kCmdYes, BN_CLICKED),
                   reinterpret_cast<LPARAM>(window.Control(kCmdYes)));
    EXPECT_FALSE(::IsWindow(hwnd));
    try {
        window.RunMessageLoop();
        ADD_FAILURE() << "the error was not raised";
    } catch (const AppError& error) {
        EXPECT_EQ(error.code, kErrorConversion);
    }
}

} // namespace
} // namespace zn
