#include "startup/desktop_start_win32.h"

#include "common/com_ptr.h"
#include "common/error_report_win32.h"
#include "common/unique_handle.h"
#include "common/win32_text.h"
#include "startup/paths.h"
#include "window/fmain_win32.h"

#include <exdisp.h>
#include <tlhelp32.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string_view>
#include <vector>

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

// What the worker of StartAsDesktopUserWithin shares with its caller. Each of the two holds a
// reference; the last to let go frees it, so that a worker that outlives the wait still owns
// all it uses.
class DesktopStartRequest {
public:
    static DesktopStartRequest* Create(const std::wstring& program)
    {
        auto* request = new DesktopStartRequest(program);
        if (!request->m_done) {
            request->Release();
            return nullptr;
        }
        return request;
    }
    void AddRef() noexcept { ::InterlockedIncrement(&m_references); }
    void Release() noexcept
    {
        if (::InterlockedDecrement(&m_references) == 0) delete this;
    }

    HANDLE Done() const noexcept { return m_done.get(); }
    bool Started() const noexcept { return ::InterlockedCompareExchange(&m_started, 0, 0) != 0; }

    static DWORD WINAPI Work(void* parameter) noexcept
    {
        auto* request = static_cast<DesktopStartRequest*>(parameter);
        ::InterlockedExchange(&request->m_started, StartAsDesktopUser(request->m_program) ? 1 : 0);
        ::SetEvent(request->m_done.get());
        request->Release();
        return 0;
    }

private:
    explicit DesktopStartRequest(const std::wstring& program)
        : m_program(program), m_done(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~DesktopStartRequest() = default;

    LONG m_references = 1;
    mutable LONG m_started = 0;
    const std::wstring m_program;
    const UniqueHandle m_done; // set when the worker has the shell's answer
};

// Identifies a file however a path spells it (letter case, short names, links).
bool IdentityOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    const UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::GetFileInformationByHandle(file.get(), &info);
}

// The launchers of `program` started at `startedAfter` or later, held open, so that the exit
// code of one that has already ended can still be read.
class LauncherProcesses {
public:
    LauncherProcesses(const std::wstring& program, const BY_HANDLE_FILE_INFORMATION& identity,
                      std::uint64_t startedAfter)
        : m_fileName(SplitFolder(program).name), m_identity(identity), m_startedAfter(startedAfter)
    {
    }

    // Looks for new ones among the running processes.
    void Update()
    {
        const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            if (!SameName(entry.szExeFile) || IsJudged(entry.th32ProcessID)) continue;
            m_judged.push_back(entry.th32ProcessID);
            UniqueHandle process = OpenIfLauncher(entry.th32ProcessID);
            if (process) m_launchers.push_back({entry.th32ProcessID, std::move(process)});
        }
    }

    // True when one shows a registration window, or has ended normally: the launcher ends with
    // 0 only once its window, shown, has been closed.
    bool AnyShowedItsWindow() const
    {
        for (const Launcher& launcher : m_launchers) {
            DWORD code = STILL_ACTIVE;
            if (::WaitForSingleObject(launcher.process.get(), 0) == WAIT_OBJECT_0 &&
                ::GetExitCodeProcess(launcher.process.get(), &code) && code == 0)
                return true;
            if (ShowsRegistrationWindow(launcher.id)) return true;
        }
        return false;
    }

private:
    struct Launcher {
        DWORD id;
        UniqueHandle process;
    };

    bool SameName(const wchar_t* exeFile) const
    {
        return ::CompareStringOrdinal(exeFile, -1, m_fileName.data(),
                                      static_cast<int>(m_fileName.size()), TRUE) == CSTR_EQUAL;
    }
    bool IsJudged(DWORD id) const
    {
        for (const DWORD judged : m_judged) {
            if (judged == id) return true;
        }
        return false;
    }

    UniqueHandle OpenIfLauncher(DWORD id) const
    {
        UniqueHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
        if (!process) return {};
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!::GetProcessTimes(process.get(), &created, &exited, &kernel, &user) ||
            ((static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime) <
                m_startedAfter)
            return {};
        const std::wstring image = ReadGrowing([&process](wchar_t* buffer, DWORD capacity) {
            DWORD size = capacity;
            if (::QueryFullProcessImageNameW(process.get(), 0, buffer, &size)) return size;
            return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? capacity : DWORD{0};
        });
        BY_HANDLE_FILE_INFORMATION info{};
        if (image.empty() || !IdentityOf(image, info) ||
            info.dwVolumeSerialNumber != m_identity.dwVolumeSerialNumber ||
            info.nFileIndexHigh != m_identity.nFileIndexHigh ||
            info.nFileIndexLow != m_identity.nFileIndexLow)
            return {};
        return process;
    }

    static bool ShowsRegistrationWindow(DWORD id)
    {
        struct Search {
            DWORD id;
            bool found;
        } search{id, false};
        ::EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(context);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner != s.id || !::IsWindowVisible(window)) return TRUE;
                wchar_t name[64] = {};
                ::GetClassNameW(window, name, 64);
                s.found = std::wstring_view(name) == kRegistrationWindowClass;
                return s.found ? FALSE : TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::wstring_view m_fileName;
    BY_HANDLE_FILE_INFORMATION m_identity;
    std::uint64_t m_startedAfter;
    std::vector<DWORD> m_judged; // each process looked at once
    std::vector<Launcher> m_launchers;
};

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

bool StartAsDesktopUserWithin(const std::wstring& program, std::chrono::milliseconds limit)
{
    DesktopStartRequest* const request = DesktopStartRequest::Create(program);
    if (request == nullptr)
        FailWithLastError(L"デスクトップのユーザーとして起動できませんでした。");
    request->AddRef(); // the worker's
    const UniqueHandle worker(
        ::CreateThread(nullptr, 0, &DesktopStartRequest::Work, request, 0, nullptr));
    if (!worker) {
        const DWORD error = ::GetLastError();
        request->Release();
        request->Release();
        ::SetLastError(error);
        FailWithLastError(L"デスクトップのユーザーとして起動できませんでした。");
    }
    const bool answered =
        ::WaitForSingleObject(request->Done(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    const bool started = answered && request->Started();
    request->Release();
    return started;
}

std::uint64_t SystemTimeNow() noexcept
{
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

bool WaitForRegistrationWindowOf(const std::wstring& program, std::uint64_t startedAfter,
                                 std::chrono::milliseconds limit)
{
    BY_HANDLE_FILE_INFORMATION identity{};
    if (!IdentityOf(program, identity)) return false;
    LauncherProcesses launchers(program, identity, startedAfter);
    // The system's tick count: the C++ clocks would bring a threads library into the program.
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    for (;;) {
        launchers.Update();
        if (launchers.AnyShowedItsWindow()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

} // namespace zn
