#include "window/default_app_win32.h"

#include "common/app_error.h"
#include "common/error_report.h"
#include "common/win32_text.h"
#include "startup/windows_folder_win32.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace zn {
namespace {

// One string of the .txt file type's "open" verb; empty when the system cannot tell.
std::wstring AssociationText(ASSOCSTR what)
{
    DWORD length = 0;
    if (::AssocQueryStringW(ASSOCF_NONE, what, L".txt", L"open", nullptr, &length) != S_FALSE ||
        length == 0)
        return {};
    std::wstring text(length, L'\0');
    if (FAILED(::AssocQueryStringW(ASSOCF_NONE, what, L".txt", L"open", text.data(), &length)))
        return {};
    text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
    return text;
}

} // namespace

TextFileApp Win32DefaultAppHost::TextFileOpener()
{
    TextFileApp app;
    std::wstring program = AssociationText(ASSOCSTR_EXECUTABLE);
    if (!program.empty()) app.program = std::move(program);
    app.name = AssociationText(ASSOCSTR_FRIENDLYAPPNAME);
    return app;
}

std::wstring Win32DefaultAppHost::WindowsFolder()
{
    return zn::WindowsFolder();
}

std::wstring Win32DefaultAppHost::SystemFolder()
{
    return ReadGrowing(
        [](wchar_t* buffer, DWORD capacity) { return ::GetSystemDirectoryW(buffer, capacity); });
}

std::wstring Win32DefaultAppHost::SystemWow64Folder()
{
    return ReadGrowing([](wchar_t* buffer, DWORD capacity) {
        return static_cast<DWORD>(::GetSystemWow64DirectoryW(buffer, capacity));
    });
}

bool Win32DefaultAppHost::SamePath(std::wstring_view a, std::wstring_view b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

WindowsVersion Win32DefaultAppHost::Version()
{
    // GetVersionExW reports 6.2 to a program without a manifest; the kernel's own answer is
    // the true one.
    WindowsVersion version;
    using RtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll == nullptr ? nullptr
                         : reinterpret_cast<RtlGetVersion>(
                               reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion != nullptr && getVersion(&info) == 0) version.build = info.dwBuildNumber;
    DWORD revision = 0;
    DWORD size = sizeof(revision);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                       L"UBR", RRF_RT_REG_DWORD, nullptr, &revision, &size) == ERROR_SUCCESS)
        version.revision = revision;
    return version;
}

bool Win32DefaultAppHost::AskYesNo(const std::wstring& text)
{
    return ::MessageBoxW(m_owner, text.c_str(), std::wstring(kErrorReportTitle).c_str(),
                         MB_YESNO) == IDYES;
}

void Win32DefaultAppHost::OpenLink(const std::wstring& link)
{
    const HINSTANCE result =
        ::ShellExecuteW(m_owner, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) > 32) return;
    // The shell sets the system's error code; the result is only an older code of its own.
    std::uint32_t error = ::GetLastError();
    if (error == ERROR_SUCCESS)
        error = static_cast<std::uint32_t>(reinterpret_cast<INT_PTR>(result));
    Fail(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE, L"設定のページを開けませんでした。",
         link);
}

} // namespace zn
