// Fmain, the registration window: the user drops the editor's executable on the text box and
// confirms; the path is then stored as the editor setting.
//
// 1. OleInitialize on this thread (OleScope).
// 2. Create(): the window and its controls, Form_Load, the text box's drop target; not shown.
// 3. Show(): shows it without waiting, with the focus in the text box.
// 4. RunMessageLoop(): until the window is gone (cmdNo or the title bar's close).
#pragma once

#include "common/unique_handle.h"
#include "settings/editor_setting.h"
#include "setup/install_kind.h"
#include "window/drop_target_win32.h"
#include "window/layout.h"
#include "window/registration_dialog.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace zn {

// Stores the path as the editor setting; returns 0 when it was stored, else the system's code.
using StoreSetting = std::function<std::uint32_t(const std::wstring& path)>;

class Fmain {
public:
    explicit Fmain(StoreSetting store = StoreEditorPath);
    ~Fmain();
    Fmain(const Fmain&) = delete;
    Fmain& operator=(const Fmain&) = delete;

    void Create(); // throws when the window cannot be created
    void Show();
    // Returns the exit code; rethrows an error raised in an event handler once the window is gone.
    int RunMessageLoop();

    HWND Window() const { return m_window; }
    HWND Control(ControlId id) const;
    IDropTarget* Text1DropTarget() const { return m_dropTarget; }
    int Dpi() const { return m_dpi; }

    // The event handlers.
    void Form_Load();
    void Text1_OLEDragDrop(const DroppedFiles& files, std::int32_t effect);
    void cmdYes_Click();
    void cmdNo_Click();

    // The window class's procedure: forwards to OnMessage of the Fmain created with the window.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void ApplyView();
    // Runs an event handler; an error it raises closes the window and is rethrown after the loop.
    template <class Handler> void Guarded(Handler&& handler) noexcept;

    StoreSetting m_store;
    RegistrationDialog m_dialog;
    HWND m_window = nullptr;
    std::array<HWND, 5> m_controls{}; // in the order of kControls
    HWND m_lastFocus = nullptr;
    int m_dpi = 96;
    UniqueFont m_defaultFont;
    UniqueFont m_hintFont;
    FileDropTarget* m_dropTarget = nullptr; // one reference held here
    std::exception_ptr m_error;
};

// Creates, shows and runs the window on this thread; returns the exit code. `kind` is the
// installation the confirmation tells the user about.
int RunRegistrationWindow(InstallKind kind);

} // namespace zn
