// Fmain, the registration window: the user drops the editor's executable on the text box and
// confirms; the path is then stored as the editor setting.
//
// 1. OleInitialize on this thread (OleScope).
// 2. Create(): the window and its controls, Form_Load, the text box's drop target (or, for the
//    classic drop, its file-drop messages); not shown.
// 3. Show(): shows it without waiting, with the focus in the text box.
// 4. RunMessageLoop(): until the window is gone (cmdNo or the title bar's close).
#pragma once

#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "settings/editor_setting.h"
#include "setup/install_kind.h"
#include "window/drop_target_win32.h"
#include "window/layout.h"
#include "window/registration_dialog.h"
#include "window/window_settings.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace zn {

// The registration window's class: whoever waits for the window looks for it by this name.
inline constexpr wchar_t kRegistrationWindowClass[] = L"ZanvekNotepadRegistration";

// Stores the path as the editor setting; returns 0 when it was stored, else the system's code.
using StoreSetting = std::function<std::uint32_t(const std::wstring& path)>;
// Looks at what is at an editor's path.
using ProbeSetting = ProbedPath (*)(const std::wstring& path);

// ProbeEditor's answer for `path`; for something there that cannot be read, the system's reason.
ProbedPath ProbeEditorPath(const std::wstring& path);

// The steps of Create that can fail. For tests: a hook called before each step makes that step
// fail by throwing; the program passes none.
enum class CreateStep { Control, FormLoad, DropTarget };
using CreateStepHook = std::function<void(CreateStep step)>;

class Fmain : public RegistrationHost {
public:
    explicit Fmain(WindowSettings settings = {}, StoreSetting store = StoreEditorPath,
                   ProbeSetting probe = ProbeEditorPath, CreateStepHook hook = {});
    ~Fmain();
    Fmain(const Fmain&) = delete;
    Fmain& operator=(const Fmain&) = delete;

    // Throws when the window cannot be created; nothing is then left behind on this thread's
    // queue (no WM_QUIT that would end the error report's box at once).
    void Create();
    void Show();
    // Returns the exit code at once when the window is already gone, else once it is; rethrows
    // an error raised in an event handler.
    int RunMessageLoop();

    HWND Window() const { return m_window; }
    HWND Control(ControlId id) const;
    IDropTarget* Text1DropTarget() const { return m_dropTarget.get(); } // none for the classic drop
    int Dpi() const { return m_dpi; }

    // The event handlers.
    void Form_Load();
    void Text1_OLEDragDrop(const DroppedFiles& files, std::int32_t effect);
    void cmdYes_Click();
    void cmdNo_Click();

    // The window class's procedure: forwards to OnMessage of the Fmain created with the window.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    // The text box's procedure for the classic drop: takes WM_DROPFILES, passes on the rest.
    static LRESULT CALLBACK Text1Proc(HWND text1, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;

private:
    ProbedPath Probe(const std::wstring& path) override { return m_probe(path); }
    std::optional<std::wstring> Store(const std::wstring& path) override;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void AcceptClassicDrops();
    void ApplyView();
    void Step(CreateStep step) const
    {
        if (m_hook) m_hook(step);
    }
    // Runs an event handler; an error it raises closes the window and is rethrown after the loop.
    template <class Handler> void Guarded(Handler&& handler) noexcept;

    WindowSettings m_settings;
    StoreSetting m_store;
    ProbeSetting m_probe;
    CreateStepHook m_hook;
    RegistrationDialog m_dialog;
    HWND m_window = nullptr;
    std::array<HWND, 5> m_controls{}; // in the order of kControls
    HWND m_lastFocus = nullptr;
    int m_dpi = 96;
    bool m_loopRunning = false;
    UniqueFont m_defaultFont;
    UniqueFont m_hintFont;
    UniqueFont m_messageFont;
    ComPtr<FileDropTarget> m_dropTarget;
    std::exception_ptr m_error;
};

// A label's font at `dpi` (the size in points scaled to pixels). Empty when the system has none.
UniqueFont CreateLabelFont(const LabelFont& font, int dpi);

// Creates, shows and runs the window on this thread; returns the exit code.
int RunRegistrationWindow(const WindowSettings& settings);

} // namespace zn
