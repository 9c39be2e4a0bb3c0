// The registration window in process: created by the test, its handlers called directly and
// through its OLE drop target, its controls read back.
#include "window/fmain_win32.h"

#include "common/app_error.h"
#include "common/error_report.h"
#include "common/error_report_win32.h"
#include "common/file_drop_data_win32.h"
#include "common/pe_image_builder.h"
#include "common/win32_text.h"
#include "settings/editor_setting.h"
#include "settings/registry_win32.h"
#include "wine/built_program.h"
#include "wine/test_key.h"
#include "window/registration_texts.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

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

// A WM_QUIT waiting in this thread's queue would end the next modal loop (the error report's)
// at once.
bool QuitPending()
{
    MSG message{};
    return ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

// Watches for the error report from a second thread, as a user would see it: finds the message
// box of this process, checks that it is still there after a moment, then answers it.
class ReportWatch {
public:
    ReportWatch() : m_thread([this] { Watch(); }) {}
    ~ReportWatch()
    {
        if (m_thread.joinable()) m_thread.join();
    }

    struct Seen {
        bool appeared = false;
        bool stayed = false; // still open after a moment, until answered
        std::wstring text;
    };
    Seen Result()
    {
        m_thread.join();
        return m_seen;
    }

private:
    static HWND FindBox()
    {
        struct Search {
            HWND found = nullptr;
        } search;
        ::EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                DWORD process = 0;
                ::GetWindowThreadProcessId(window, &process);
                wchar_t className[16] = {};
                ::GetClassNameW(window, className, 16);
                if (process != ::GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
                    TextOf(window) != kErrorReportTitle || !::IsWindowVisible(window))
                    return TRUE;
                reinterpret_cast<Search*>(context)->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    void Watch()
    {
        using namespace std::chrono_literals;
        HWND box = nullptr;
        for (auto waited = 0ms; box == nullptr && waited < 5000ms; waited += 20ms) {
            std::this_thread::sleep_for(20ms);
            box = FindBox();
        }
        if (box == nullptr) return;
        m_seen.appeared = true;
        m_seen.text = TextOf(::GetDlgItem(box, 0xFFFF)); // the box's static text
        std::this_thread::sleep_for(700ms);
        m_seen.stayed = ::IsWindow(box) && ::IsWindowVisible(box);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }

    Seen m_seen;
    std::thread m_thread;
};

// A name beyond ASCII that the system's code page holds: the Japanese one where it is 932 (as in
// the test prefixes), a French one in a Western code page.
std::wstring NameTheCodePageHolds()
{
    for (const wchar_t* name : {L"C:\\ツール\\エディタ.exe", L"C:\\Outils\\Éditeur.exe"}) {
        BOOL lost = FALSE;
        if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr,
                                  &lost) > 0 &&
            !lost)
            return name;
    }
    return L"C:\\Tools\\editor.exe";
}

// A stand-in for what the checks find on the disk: a program at every path, none of them ours.
// The window's own probe is in TheLaunchersChecksLookAtTheFileItself.
ProbedPath AnyProgram(const std::wstring&)
{
    return {{EditorProbe::File, testing::PeImage({}), {}}, std::nullopt};
}

class RegistrationWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<Fmain>(
            WindowSettings{},
            [this](const std::wstring& path) {
                m_stored.push_back(path);
                return m_storeSucceeds ? 0u : 5u; // ERROR_ACCESS_DENIED
            },
            AnyProgram);
        m_window->Create();
        m_window->Show();
    }
    void TearDown() override
    {
        m_window.reset();
        EXPECT_FALSE(QuitPending()) << "a window that never ran its loop left WM_QUIT behind";
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
    // The fonts as asked for (GetObjectW gives a font's LOGFONT as created), on any system; the
    // face the system then matches is LabelFontUnderWine's and the fit test's business.
    LOGFONTW hint{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Control(kLabel1), WM_GETFONT, 0, 0)),
                 sizeof(hint), &hint);
    EXPECT_STREQ(hint.lfFaceName, L"MS PGothic"); // the name Windows matches in any language
    EXPECT_EQ(hint.lfHeight, -::MulDiv(1425, m_window->Dpi(), 7200)); // 14.25 points
    EXPECT_EQ(hint.lfWeight, 400);
    EXPECT_EQ(hint.lfCharSet, 128);
    // Label2's messages in their own smaller font, the one the fit test measures.
    const auto message =
        reinterpret_cast<HFONT>(::SendMessageW(Control(kLabel2), WM_GETFONT, 0, 0));
    LOGFONTW messageFont{};
    ::GetObjectW(message, sizeof(messageFont), &messageFont);
    EXPECT_STREQ(messageFont.lfFaceName, L"MS PGothic");
    EXPECT_EQ(messageFont.lfHeight, -::MulDiv(800, m_window->Dpi(), 7200)); // 8 points

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

    // A .txt is taken into the text box, but the question and Yes stay; Yes then tests it.
    Drop({L"C:\\Tools\\readme.txt"});
    EXPECT_EQ(TextOf(Control(kText1)), L"C:\\Tools\\readme.txt");
    EXPECT_EQ(TextOf(Control(kLabel2)), L"Editor.EXEを登録してよろしいですか？");
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));
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
    // The registry writer of the setting this time, into a key of the test's own: the user's
    // own setting stays as it is.
    const TestKey key(L"RegistrationWindow");
    Fmain window(
        WindowSettings{},
        [&key](const std::wstring& path) {
            LSTATUS status = ERROR_SUCCESS;
            WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), kEditorPathValueName, path, &status);
            return static_cast<std::uint32_t>(status);
        },
        AnyProgram);
    window.Create();
    std::int32_t effect = 7;
    window.Text1_OLEDragDrop(DroppedFiles({L"C:\\Program Files\\エディタ\\ed.exe"}), effect);
    window.cmdYes_Click();
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""),
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
}

TEST_F(RegistrationWindow, AFailedStoreSaysWhyAndLeavesYesForAnotherTry)
{
    m_storeSucceeds = false;
    Drop({L"C:\\Tools\\ed.exe"});
    const PixelRect noBefore = RectOf(Control(kCmdNo));
    m_window->cmdYes_Click();
    // The system's own words for the registry's status, in the system's language ("アクセスが
    // 拒否されました。" in the test prefixes).
    ASSERT_NE(SystemReason(ERROR_ACCESS_DENIED), L"");
    EXPECT_EQ(TextOf(Control(kLabel2)),
              L"登録できませんでした。\r\n" +
                  ReasonText(ERROR_ACCESS_DENIED, SystemReason(ERROR_ACCESS_DENIED)));
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));
    EXPECT_EQ(TextOf(Control(kCmdNo)), L"No");
    EXPECT_EQ(RectOf(Control(kCmdNo)), noBefore);
}

// The launcher's checks as the window runs them, on what is really at the path: this program,
// a file another program holds, a program of another maker.
TEST_F(RegistrationWindow, TheLaunchersChecksLookAtTheFileItself)
{
    const std::wstring self = BuiltProgramPath();
    ASSERT_FALSE(self.empty()) << "ZN_PROGRAM is not set";
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring held =
        std::wstring(temp) + L"zn-held-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    const UniqueFile holder(::CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(holder) << ::GetLastError();
    const std::wstring other = ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    });

    std::vector<std::wstring> stored;
    Fmain window(WindowSettings{}, [&stored](const std::wstring& path) {
        stored.push_back(path);
        return 0u;
    });
    window.Create();
    window.Show();
    const HWND label2 = window.Control(kLabel2);

    // A copy of this program is refused as it is dropped: the window goes on waiting.
    window.Text1_OLEDragDrop(DroppedFiles({self}), 7);
    EXPECT_EQ(TextOf(label2),
              L"登録できませんでした。\r\n理由: ZanvekNotepad 自身のファイルです。");
    EXPECT_FALSE(::IsWindowVisible(window.Control(kCmdYes)));

    window.Text1_OLEDragDrop(DroppedFiles({held}), 7);
    ASSERT_TRUE(::IsWindowVisible(window.Control(kCmdYes)));
    window.cmdYes_Click();
    EXPECT_EQ(TextOf(label2),
              L"登録できませんでした。\r\n" +
                  ReasonText(ERROR_SHARING_VIOLATION, SystemReason(ERROR_SHARING_VIOLATION)));
    EXPECT_TRUE(stored.empty());

    // As Explorer's "Copy as path" writes it.
    ::SetWindowTextW(window.Control(kText1), (L"\"" + other + L"\"").c_str());
    window.cmdYes_Click();
    EXPECT_EQ(stored, std::vector<std::wstring>{other});
    EXPECT_FALSE(::IsWindowVisible(window.Control(kCmdYes)));
}

TEST_F(RegistrationWindow, YesStoresOnlyAFullPath)
{
    // Every kind of text is in the dialogue's native table; here the window's part.
    Drop({L"C:\\Tools\\first.exe"});
    TypeIntoText1(L"ed.exe");
    m_window->cmdYes_Click();
    EXPECT_TRUE(m_stored.empty()) << "stored a path that is not a full path";
    EXPECT_EQ(TextOf(Control(kLabel2)),
              L"登録できませんでした。\r\n"
              L"理由: フルパス (C:\\… または \\\\サーバー\\…) ではありません。");
    EXPECT_TRUE(::IsWindowVisible(Control(kCmdYes)));

    TypeIntoText1(L"\\\\server\\share\\ed.exe");
    m_window->cmdYes_Click();
    EXPECT_EQ(m_stored, std::vector<std::wstring>{L"\\\\server\\share\\ed.exe"});
    EXPECT_FALSE(::IsWindowVisible(Control(kCmdYes)));
}

TEST_F(RegistrationWindow, ARedirectInstallationIsConfirmedWithItsOwnNote)
{
    Fmain window(
        WindowSettings{InstallKind::Redirect}, [](const std::wstring&) { return 0u; }, AnyProgram);
    window.Create();
    window.Text1_OLEDragDrop(DroppedFiles({L"C:\\Program Files\\sakura\\sakura.exe"}), 7);
    window.cmdYes_Click();
    EXPECT_EQ(TextOf(window.Control(kLabel2)),
              L"次回から、メモ帳の変わりにsakura.exeを起動します\r\n"
              L"本来のNotePad.exe は、そのまま残ります。"
              L"WindowsフォルダのZanvekNotepad.exeを消去するとメモ帳が起動できなくなります。"
              L"注意してください。");
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

    // Names in the code page (932 in the test prefixes) arrive whole too.
    const std::wstring narrowName = NameTheCodePageHolds();
    std::unique_ptr<IDataObject, decltype(release)> narrow(
        new FileDropData({narrowName}, true, false), release);
    effect = 7;
    EXPECT_EQ(target->Drop(narrow.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(TextOf(Control(kText1)), narrowName);

    // Data without files shows no drop cursor, and a drop of it leaves the text alone.
    std::unique_ptr<IDataObject, decltype(release)> nothing(new FileDropData({}, false), release);
    effect = 7;
    EXPECT_EQ(target->DragEnter(nothing.get(), MK_LBUTTON, point, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = 7;
    EXPECT_EQ(target->Drop(nothing.get(), 0, point, &effect), S_OK);
    EXPECT_EQ(TextOf(Control(kText1)), narrowName);
}

// Set-up's own window in an elevated process: Explorer's classic drop (WM_DROPFILES) instead of
// the OLE drop, which Windows blocks from Explorer into an elevated window.
TEST_F(RegistrationWindow, AnElevatedSetUpsWindowTakesTheClassicDropAndAsks)
{
    Fmain window(WindowSettings{InstallKind::Copy, DropMode::Classic},
                 [](const std::wstring&) { return 0u; });
    window.Create();
    window.Show();
    const HWND text1 = window.Control(kText1);
    EXPECT_NE(::GetWindowLongW(text1, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    // No OLE target stands in the classic drop's way: registering one now succeeds.
    const ComPtr<FileDropTarget> probe =
        FileDropTarget::Create([](const DroppedFiles&, std::int32_t) {});
    EXPECT_EQ(::RegisterDragDrop(text1, probe.get()), S_OK);
    ::RevokeDragDrop(text1);

    const HGLOBAL drop = MakeDropFiles({L"C:\\Tools\\Editor.EXE", L"C:\\Tools\\second.exe"});
    EXPECT_EQ(::SendMessageW(text1, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);
    EXPECT_EQ(TextOf(text1), L"C:\\Tools\\Editor.EXE");
    EXPECT_EQ(TextOf(window.Control(kLabel2)), L"Editor.EXEを登録してよろしいですか？");
    EXPECT_TRUE(::IsWindowVisible(window.Control(kCmdYes)));
    EXPECT_EQ(TextOf(window.Control(kCmdNo)), L"No");
    EXPECT_EQ(::GlobalSize(drop), 0u) << "the drop's memory was not freed";
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

TEST_F(RegistrationWindow, ClosingItWhileTheLoopRunsEndsTheLoopAndLeavesNoQuitBehind)
{
    ::PostMessageW(m_window->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(m_window->RunMessageLoop(), 0);
    EXPECT_EQ(m_window->Window(), nullptr);
    EXPECT_FALSE(QuitPending());
}

TEST_F(RegistrationWindow, TheLastMessagesDefaultProcessingGetsTheWindowItIsAbout)
{
    // WM_NCDESTROY's default processing frees what the system keeps for the window, such as its
    // caption; given no window it frees nothing. Sent by hand here, so that the window is still
    // there to be asked.
    const HWND window = m_window->Window();
    ASSERT_EQ(TextOf(window), L"ZanvekNotePad V1.10");
    Fmain::WindowProc(window, WM_NCDESTROY, 0, 0);
    EXPECT_EQ(TextOf(window), L"");
    EXPECT_EQ(m_window->Window(), nullptr); // the object let go of the window
    ::DestroyWindow(window);
}

TEST_F(RegistrationWindow, AnErrorInAHandlerClosesTheWindowAndIsRaisedAfterTheLoop)
{
    Fmain window(
        WindowSettings{},
        [](const std::wstring&) -> std::uint32_t {
            throw AppError(kErrorConversion, L"store failed");
        },
        AnyProgram);
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

// The test prefixes map the labels' face to the Japanese font the tests measure and render with
// (a font replacement in the template), as Windows has MS PGothic itself: without it, Wine takes
// the fixed-pitch IPAGothic, in which the confirmation does not fit.
TEST(LabelFontUnderWine, IsTheJapaneseFontTheTestsUse)
{
    const UniqueFont font = CreateLabelFont(kMessageFont, 96);
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, font.get());
    wchar_t face[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    const std::wstring japanese = L"メモ帳のかわりに起動したいエディタ";
    std::vector<WORD> glyphs(japanese.size());
    ::GetGlyphIndicesW(dc, japanese.c_str(), static_cast<int>(japanese.size()), glyphs.data(),
                       GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    EXPECT_STREQ(face, L"MS PGothic"); // otherwise Wine takes the fixed-pitch IPAGothic
    EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), WORD{0xFFFF}), 0)
        << "the face has no Japanese glyphs";
}

// A handler that fails inside Drop closes the window, whose WM_DESTROY revokes the target and
// lets go of it: the running call must go on with the handler and the target it started with.
TEST(FileDropTarget, AHandlerThatRevokesItsTargetRunsToItsEndAndIsNotCalledAgain)
{
    const OleScope ole;
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    struct State {
        ComPtr<FileDropTarget> target;
        bool handlerGone = false;
        bool handlerAliveAfterRevoke = false;
        int calls = 0;
    } state;
    struct Token { // destroyed with the last copy of the handler
        explicit Token(bool* gone) : m_gone(gone) {}
        ~Token() { *m_gone = true; }
        bool* m_gone;
    };
    auto token = std::make_shared<Token>(&state.handlerGone);
    state.target = FileDropTarget::Create(
        [&state, token = std::move(token)](const DroppedFiles&, std::int32_t) {
            State& s = state;
            ++s.calls;
            s.target->Revoke(); // what WM_DESTROY does
            s.target.reset();   // and the window's own reference goes with the window
            s.handlerAliveAfterRevoke = !s.handlerGone;
        });
    ASSERT_EQ(state.target->Register(edit), S_OK);
    IDropTarget* const target = state.target.get();
    const auto release = [](IDataObject* data) { data->Release(); };
    std::unique_ptr<IDataObject, decltype(release)> files(new FileDropData({L"C:\\ed.exe"}),
                                                          release);
    DWORD effect = 7;
    EXPECT_EQ(target->Drop(files.get(), 0, POINTL{1, 1}, &effect), S_OK);
    EXPECT_EQ(state.calls, 1);
    EXPECT_TRUE(state.handlerAliveAfterRevoke) << "the handler was destroyed while it ran";
    ::DestroyWindow(edit);

    // Revoked before any drop: the handler is never called.
    bool called = false;
    ComPtr<FileDropTarget> revoked =
        FileDropTarget::Create([&called](const DroppedFiles&, std::int32_t) { called = true; });
    revoked->Revoke();
    effect = 7;
    revoked->Drop(files.get(), 0, POINTL{1, 1}, &effect);
    EXPECT_FALSE(called);
}

// Errors while the window is created: each must reach the user as a report that stays until it
// is answered, as wWinMain shows it once the window's scope has ended.
TEST(WindowCreationErrors, AreReportedInABoxThatStaysUntilAnswered)
{
    const struct {
        const char* where;
        CreateStep step;
        int occurrence; // fail the step's n-th run
    } rows[] = {
        {"creating the third control", CreateStep::Control, 3},
        {"Form_Load", CreateStep::FormLoad, 1},
        {"registering the drop target", CreateStep::DropTarget, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        int runs = 0;
        const CreateStepHook failing = [&](CreateStep step) {
            if (step == row.step && ++runs == row.occurrence)
                throw AppError(ERROR_NOT_ENOUGH_MEMORY, L"ウィンドウを作成できませんでした。");
        };
        try {
            const OleScope ole;
            Fmain window(WindowSettings{}, StoreEditorPath, ProbeEditorPath, failing);
            window.Create();
            ADD_FAILURE() << "Create did not raise the error";
            continue;
        } catch (const AppError& error) {
            EXPECT_FALSE(QuitPending()) << "WM_QUIT left behind for the report's box";
            ReportWatch watch;
            ShowErrorReport(error);
            const ReportWatch::Seen seen = watch.Result();
            EXPECT_TRUE(seen.appeared);
            EXPECT_TRUE(seen.stayed) << "the report closed without an answer";
            EXPECT_EQ(seen.text.rfind(L"ウィンドウを作成できませんでした。", 0), 0u);
        }
        MSG quit{};
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        } // leave the next row a clean queue, whatever this one left
    }
}

TEST(ErrorReport, StaysUntilAnsweredEvenWithAQuitMessageWaitingAndKeepsIt)
{
    ::PostQuitMessage(7);
    ReportWatch watch;
    ShowErrorReport({ERROR_ACCESS_DENIED, L"テスト"});
    const ReportWatch::Seen seen = watch.Result();
    EXPECT_TRUE(seen.appeared);
    EXPECT_TRUE(seen.stayed) << "the pending WM_QUIT ended the box at once";
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the caller's quit message was lost";
    EXPECT_EQ(quit.wParam, 7u);
}

} // namespace
} // namespace zn
