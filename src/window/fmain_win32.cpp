#include "window/fmain_win32.h"

#include "common/app_error.h"
#include "common/editor_probe_win32.h"
#include "common/error_report.h"
#include "common/error_report_win32.h"
#include "resources/resource_ids.h"
#include "resources/version.h"
#include "window/default_app_win32.h"
#include "window/registration_texts.h"

#include <shellapi.h>

namespace zn {
namespace {

// The resource's version text must say what the numbers say: major "." minor in two digits.
constexpr bool VersionTextMatchesNumbers()
{
    constexpr char text[] = ZN_VERSION_TEXT;
    return sizeof(text) == 5 && text[0] == '0' + ZN_VERSION_MAJOR && text[1] == '.' &&
           text[2] == '0' + ZN_VERSION_MINOR / 10 && text[3] == '0' + ZN_VERSION_MINOR % 10;
}
static_assert(VersionTextMatchesNumbers(), "ZN_VERSION_TEXT disagrees with the version numbers");

constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; // fixed size

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetTextIfChanged(HWND window, const std::wstring& text)
{
    if (TextOf(window) != text) ::SetWindowTextW(window, text.c_str());
}

int SystemDpi()
{
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Fmain::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_ZANVEK));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(IDI_ZANVEK), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kRegistrationWindowClass;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        FailWithLastError(L"ウィンドウを作成できませんでした。");
}

} // namespace

template <class Handler> void Fmain::Guarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        if (!m_error) m_error = std::current_exception();
        if (m_window != nullptr) ::DestroyWindow(m_window);
    }
}

UniqueFont CreateLabelFont(const LabelFont& font, int dpi)
{
    const std::wstring face(font.face);
    return UniqueFont(::CreateFontW(-::MulDiv(font.hundredthsOfPoint, dpi, 7200), 0, 0, 0,
                                    FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
}

ProbedPath ProbeEditorPath(const std::wstring& path)
{
    try {
        return {ProbeEditor(path), std::nullopt};
    } catch (const AppError& error) {
        return {{}, ReasonText(error.code, SystemReason(error.code))};
    }
}

Fmain::Fmain(WindowSettings settings, StoreSetting store, ProbeSetting probe, CreateStepHook hook)
    : m_settings(settings), m_store(std::move(store)), m_probe(probe), m_hook(std::move(hook)),
      m_dialog(settings.kind)
{
}

Fmain::~Fmain()
{
    if (m_window != nullptr) ::DestroyWindow(m_window);
    if (m_dropTarget) m_dropTarget->Revoke();
}

HWND Fmain::Control(ControlId id) const
{
    return m_controls[IndexOf(id)];
}

void Fmain::Create()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    RegisterWindowClass(instance);
    m_dpi = SystemDpi();

    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, m_dpi),
               TwipsToPixels(kClientHeightTwips, m_dpi)};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT workArea{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    const int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;

    // WM_CREATE makes the controls and runs Form_Load before the window is ever shown.
    const HWND window = ::CreateWindowExW(0, kRegistrationWindowClass, L"", kWindowStyle, left, top,
                                          width, height, nullptr, nullptr, instance, this);
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr)); // raised in WM_CREATE
    if (window == nullptr) FailWithLastError(L"ウィンドウを作成できませんでした。");

    if (m_settings.drop == DropMode::Classic) {
        Step(CreateStep::DropTarget);
        AcceptClassicDrops();
        return;
    }
    m_dropTarget = FileDropTarget::Create([this](const DroppedFiles& files, std::int32_t effect) {
        Guarded([&] { Text1_OLEDragDrop(files, effect); });
    });
    Step(CreateStep::DropTarget);
    const HRESULT registered = m_dropTarget->Register(Control(kText1));
    if (FAILED(registered))
        Fail(static_cast<std::uint32_t>(registered),
             L"ドラッグ アンド ドロップを準備できませんでした。");
}

void Fmain::Show()
{
    ::ShowWindow(m_window, SW_SHOWNORMAL);
    ::SetForegroundWindow(m_window);
    m_lastFocus = Control(kText1);
    ::SetFocus(m_lastFocus);
}

int Fmain::RunMessageLoop()
{
    // A window already gone (closed or failed before the loop) posted no WM_QUIT to wait for.
    if (m_window != nullptr) {
        m_loopRunning = true;
        MSG message{};
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            // Tab between the controls; Enter and Esc do nothing, as there is no default or
            // cancel button.
            if (m_window != nullptr && ::IsDialogMessageW(m_window, &message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        m_loopRunning = false;
    }
    if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
    return 0;
}

LRESULT CALLBACK Fmain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Fmain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Fmain*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    bool handled = false;
    self->Guarded([&] {
        result = self->OnMessage(window, message, wParam, lParam);
        handled = true;
    });
    if (!handled && message == WM_CREATE) return -1;
    return result;
}

LRESULT CALLBACK Fmain::Text1Proc(HWND text1, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    const auto original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(text1, GWLP_USERDATA));
    if (message != WM_DROPFILES) return ::CallWindowProcW(original, text1, message, wParam, lParam);
    const auto drop = reinterpret_cast<HDROP>(wParam);
    auto* self = reinterpret_cast<Fmain*>(::GetWindowLongPtrW(::GetParent(text1), GWLP_USERDATA));
    // The same handler and stages as an OLE drop that allows every effect: Explorer's files.
    if (self != nullptr)
        self->Guarded([&] { self->Text1_OLEDragDrop(FilesOfDrop(drop), kAllDropEffects); });
    ::DragFinish(drop); // the receiver frees the drop's memory
    return 0;
}

LRESULT Fmain::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateControls();
        Form_Load();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kCmdYes: cmdYes_Click(); return 0;
            case kCmdNo: cmdNo_Click(); return 0;
            default: break;
            }
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(m_window, focus)) m_lastFocus = focus;
        }
        break;
    case WM_SETFOCUS: // back in the window: the focus goes where it was, else to Text1
        ::SetFocus(m_lastFocus != nullptr && ::IsWindowVisible(m_lastFocus) ? m_lastFocus
                                                                            : Control(kText1));
        return 0;
    case WM_DESTROY:
        // The drop target goes before the window: OLE must not call into a destroyed one.
        if (m_dropTarget) m_dropTarget->Revoke();
        // Only a running loop waits for WM_QUIT. Left in the queue, it would end the next modal
        // loop on this thread at once: the error report's, when creation failed.
        if (m_loopRunning) ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: // the last message: the window forgets this object
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        m_window = nullptr;
        m_controls.fill(nullptr);
        break;
    default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Fmain::CreateControls()
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        m_defaultFont.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
    m_hintFont = CreateLabelFont(kDropHintFont, m_dpi);
    m_messageFont = CreateLabelFont(kMessageFont, m_dpi);

    // Created in tab order; each new child goes below the earlier ones, so the buttons are
    // drawn over Label2 and the clip-siblings style keeps Label2 from painting over them.
    // Label1 then goes to the bottom: where it overlaps Label2's first line it lies under it
    // (its own text ends above the overlap). Labels take no focus, so tabbing is unchanged.
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlLayout& layout = kControls[i];
        const PixelRect rect = ToClientPixels(layout.twips, m_dpi);
        Step(CreateStep::Control);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (layout.visible ? WS_VISIBLE : 0);
        DWORD exStyle = 0;
        const wchar_t* className = L"STATIC";
        switch (layout.kind) {
        case ControlKind::TextBox:
            className = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case ControlKind::Button:
            className = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        }
        const HWND control = ::CreateWindowExW(
            exStyle, className, std::wstring(layout.text).c_str(), style, rect.left, rect.top,
            rect.width, rect.height, m_window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
        if (control == nullptr) FailWithLastError(L"ウィンドウを作成できませんでした。");
        m_controls[i] = control;
        HFONT font = m_defaultFont.get();
        if (layout.font == ControlFont::DropHint && m_hintFont) font = m_hintFont.get();
        if (layout.font == ControlFont::Message && m_messageFont) font = m_messageFont.get();
        if (font != nullptr)
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ::SetWindowPos(Control(kLabel1), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageW(Control(kText1), EM_SETLIMITTEXT, 0, 0); // no length limit
}

void Fmain::AcceptClassicDrops()
{
    const HWND text1 = Control(kText1);
    // Explorer uses a registered OLE target whenever there is one, and its drop would be
    // blocked: none may stand in the way of the classic drop.
    ::RevokeDragDrop(text1);
    ::SetWindowLongPtrW(text1, GWLP_USERDATA, ::GetWindowLongPtrW(text1, GWLP_WNDPROC));
    ::SetWindowLongPtrW(text1, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Fmain::Text1Proc));
    // Windows drops messages from a lower integrity level unless the receiving window lets them
    // through: the drop itself, and the two that carry the dropped names' memory across.
    constexpr UINT kCopyGlobalData = 0x0049;
    for (const UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, kCopyGlobalData}) {
        if (!::ChangeWindowMessageFilterEx(text1, message, MSGFLT_ALLOW, nullptr))
            FailWithLastError(L"ドラッグ アンド ドロップを準備できませんでした。");
    }
    ::DragAcceptFiles(text1, TRUE);
}

void Fmain::ApplyView()
{
    const DialogView& view = m_dialog.View();
    const HWND yes = Control(kCmdYes);
    const HWND no = Control(kCmdNo);
    SetTextIfChanged(Control(kLabel2), view.label2);
    SetTextIfChanged(no, view.noCaption);
    const PixelRect rect = ToClientPixels(view.noRect, m_dpi);
    ::SetWindowPos(no, nullptr, rect.left, rect.top, rect.width, rect.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // A hidden button cannot keep the focus: hand it to the one beside it.
    if (!view.yesVisible && ::GetFocus() == yes && view.noVisible) ::SetFocus(no);
    ::ShowWindow(yes, view.yesVisible ? SW_SHOWNA : SW_HIDE);
    ::ShowWindow(no, view.noVisible ? SW_SHOWNA : SW_HIDE);
}

void Fmain::Form_Load()
{
    Step(CreateStep::FormLoad);
    ::SetWindowTextW(
        m_window, WindowCaption(ZN_VERSION_MAJOR, ZN_VERSION_MINOR, ZN_VERSION_REVISION).c_str());
    m_dialog.Load();
    ApplyView();
}

void Fmain::Text1_OLEDragDrop(const DroppedFiles& files, std::int32_t effect)
{
    const HWND text1 = Control(kText1);
    std::wstring text = TextOf(text1);
    const std::wstring before = text;
    m_dialog.Drop(text, effect, files, *this);
    if (text != before) ::SetWindowTextW(text1, text.c_str());
    ApplyView();
}

void Fmain::cmdYes_Click()
{
    const bool stored = m_dialog.Yes(TextOf(Control(kText1)), *this);
    ApplyView();
    // The confirmation shows behind the question; a page that cannot be opened is reported as
    // any error is, and what was stored stays stored.
    if (stored && m_settings.offerDefaultApp) {
        Win32DefaultAppHost host(m_window);
        OfferDefaultAppChoice(host);
    }
}

std::optional<std::wstring> Fmain::Store(const std::wstring& path)
{
    const std::uint32_t status = m_store(path);
    if (status == 0) return std::nullopt;
    return ReasonText(status, SystemReason(status));
}

void Fmain::cmdNo_Click()
{
    // Unloading the window ends the process: nothing is stored, whatever the stage.
    ::DestroyWindow(m_window);
}

int RunRegistrationWindow(const WindowSettings& settings)
{
    const OleScope ole;
    Fmain window(settings);
    window.Create();
    window.Show();
    return window.RunMessageLoop();
}

} // namespace zn
