#include "startup/desktop_start_win32.h"

#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "startup/paths.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string_view>

namespace zn {
namespace {

// COM on this thread for the life of the scope, apartment-threaded as the shell expects.
class ComScope {
public:
    ComScope() noexcept
        : m_initialised(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~ComScope()
    {
        if (m_initialised) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    explicit operator bool() const noexcept { return m_initialised; }

private:
    bool m_initialised;
};

// A VARIANT that owns what it holds (its BSTR is freed with it).
class Variant {
public:
    Variant() noexcept { ::VariantInit(&m_value); }
    ~Variant() { ::VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    // False when the text could not be allocated.
    bool SetText(std::wstring_view text) noexcept
    {
        ::VariantClear(&m_value);
        const BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (copy == nullptr) return false;
        m_value.vt = VT_BSTR;
        m_value.bstrVal = copy;
        return true;
    }
    void SetInt(LONG number) noexcept
    {
        ::VariantClear(&m_value);
        m_value.vt = VT_I4;
        m_value.lVal = number;
    }

    VARIANT* get() noexcept { return &m_value; }
    // A shallow copy for a by-value parameter: the callee does not free it, we do.
    const VARIANT& value() const noexcept { return m_value; }

private:
    VARIANT m_value;
};

// The desktop's folder view, through the shell's window list: the object whose Application
// belongs to the shell's process.
ComPtr<IShellFolderViewDual> DesktopFolderView() noexcept
{
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                  windows.put_void())))
        return nullptr;
    // The desktop, named by its folder id.
    Variant location;
    location.SetInt(CSIDL_DESKTOP);
    Variant root;
    LONG window = 0;
    ComPtr<IDispatch> desktop;
    // S_FALSE, not an error, says there is no desktop window.
    if (windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return nullptr;

    const auto services = desktop.QueryAs<IServiceProvider>(IID_IServiceProvider);
    ComPtr<IShellBrowser> browser;
    if (!services ||
        FAILED(
            services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) ||
        !browser)
        return nullptr;
    ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.put())) || !view) return nullptr;
    ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) ||
        !background)
        return nullptr;
    return background.QueryAs<IShellFolderViewDual>(IID_IShellFolderViewDual);
}

} // namespace

ElevationType ElevationTypeOf(HANDLE token) noexcept
{
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size))
        return ElevationType::Default;
    switch (type) {
    case TokenElevationTypeFull: return ElevationType::Full;
    case TokenElevationTypeLimited: return ElevationType::Limited;
    default: return ElevationType::Default;
    }
}

ElevationType ProcessElevationType() noexcept
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return ElevationType::Default;
    return ElevationTypeOf(token.get());
}

bool StartAsDesktopUser(const std::wstring& program) noexcept
{
    const ComScope com; // outlives every interface below
    if (!com) return false;
    const ComPtr<IShellFolderViewDual> folderView = DesktopFolderView();
    if (!folderView) return false;
    ComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.put())) || !application) return false;
    const auto shell = application.QueryAs<IShellDispatch2>(IID_IShellDispatch2);
    if (!shell) return false;

    Variant file, arguments, folder, operation, show;
    if (!file.SetText(program) || !arguments.SetText(L"") ||
        !folder.SetText(SplitFolder(program).folder) || !operation.SetText(L"open"))
        return false;
    show.SetInt(SW_SHOWNORMAL);
    return SUCCEEDED(shell->ShellExecute(file.value().bstrVal, arguments.value(), folder.value(),
                                         operation.value(), show.value()));
}

} // namespace zn
