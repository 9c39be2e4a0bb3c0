// The drag source of the end-to-end tests: a real OLE drag and drop from this process to the
// program under test, driven with synthetic mouse input.
#include "e2e/e2e_support.h"

#include "common/file_drop_data_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zn::e2e {
namespace {

class DropSource final : public ComObject<IDropSource, &IID_IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape) return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

struct Drag {
    IDataObject* data;
    DWORD allowed;
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = E_PENDING;
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
};

// Wine's drag loop reads the button from this thread's key state: the drag starts on the
// window's own WM_LBUTTONDOWN, never before.
LRESULT CALLBACK SourceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        auto* drag = reinterpret_cast<Drag*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (drag != nullptr && !drag->started.exchange(true)) {
            IDropSource* source = new DropSource;
            drag->result = ::DoDragDrop(drag->data, source, drag->allowed, &drag->effect);
            source->Release();
            drag->done = true;
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void SendMouse(DWORD flags, POINT at)
{
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((at.x * 65535LL) / (width - 1));
    input.mi.dy = static_cast<LONG>((at.y * 65535LL) / (height - 1));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    ::SendInput(1, &input, sizeof(input));
}

} // namespace

DWORD DragFilesOnto(POINT target, const std::vector<std::wstring>& files, DWORD allowedEffects,
                    bool withFiles)
{
    if (FAILED(::OleInitialize(nullptr))) {
        ADD_FAILURE() << "OleInitialize failed";
        return DROPEFFECT_NONE;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = SourceWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZnE2eDragSource";
    ::RegisterClassW(&windowClass);
    const HWND window = ::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"drag source",
                                          WS_POPUP | WS_VISIBLE, 0, 0, 48, 48, nullptr, nullptr,
                                          windowClass.hInstance, nullptr);
    auto* data = new FileDropData(files, withFiles);
    Drag drag{data, allowedEffects};
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&drag));
    const POINT start{24, 24};

    std::thread mouse([&] {
        ::SetCursorPos(start.x, start.y);
        std::this_thread::sleep_for(100ms);
        SendMouse(MOUSEEVENTF_LEFTDOWN, start);
        for (int i = 0; i < 200 && !drag.started; ++i)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(100ms);
        constexpr int kSteps = 20;
        for (int step = 1; step <= kSteps; ++step) {
            const POINT at{start.x + (target.x - start.x) * step / kSteps,
                           start.y + (target.y - start.y) * step / kSteps};
            SendMouse(0, at);
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(300ms);
        SendMouse(MOUSEEVENTF_LEFTUP, target);
        // Under load the drag loop can miss the release and would then wait for ever: release
        // once more, then press Escape, so that the drag always ends and the test can fail.
        for (int attempt = 0; attempt < 3 && drag.started; ++attempt) {
            for (int i = 0; i < 150 && !drag.done; ++i)
                std::this_thread::sleep_for(20ms);
            if (drag.done) break;
            if (attempt < 2) {
                SendMouse(MOUSEEVENTF_LEFTUP, target);
            } else {
                INPUT escape[2]{};
                escape[0].type = escape[1].type = INPUT_KEYBOARD;
                escape[0].ki.wVk = escape[1].ki.wVk = VK_ESCAPE;
                escape[1].ki.dwFlags = KEYEVENTF_KEYUP;
                ::SendInput(2, escape, sizeof(INPUT));
            }
        }
    });

    const auto deadline = std::chrono::steady_clock::now() + 20s;
    MSG message;
    while (!drag.done && std::chrono::steady_clock::now() < deadline) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
        std::this_thread::sleep_for(5ms);
    }
    mouse.join();
    EXPECT_TRUE(drag.done) << "the drag never ended";
    // Without a file list the target accepts nothing, and the drag may end as a cancel.
    if (withFiles) {
        EXPECT_EQ(drag.result, DRAGDROP_S_DROP) << "DoDragDrop: " << std::hex << drag.result;
    }
    EXPECT_TRUE(SUCCEEDED(drag.result)) << "DoDragDrop: " << std::hex << drag.result;
    ::DestroyWindow(window);
    data->Release();
    ::OleUninitialize();
    return drag.done ? drag.effect : DROPEFFECT_NONE;
}

} // namespace zn::e2e
