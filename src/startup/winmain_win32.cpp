// Entry point of ZanvekNotepad.exe.
#include "common/error_report.h"
#include "common/error_report_win32.h"
#include "startup/main.h"
#include "startup/startup_host_win32.h"
#include "startup/terminate_win32.h"

#include <windows.h>

#include <new>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Users run set-up from their Downloads folder, where a planted DLL must never be picked
    // up: from here on, DLLs load only from the system folder.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    zn::InstallTerminateHandler();

    // The one place where raised errors are caught: each ends the process after its report.
    try {
        zn::Win32StartupHost host;
        return zn::Main(host);
    } catch (const zn::AppError& error) {
        zn::ShowErrorReport(error);
        return zn::kExitErrorReported;
    } catch (const std::bad_alloc&) {
        zn::ShowErrorReport({ERROR_OUTOFMEMORY, L"メモリが足りません。"});
        return zn::kExitErrorReported;
    } catch (...) {
        zn::ShowErrorReport({zn::kErrorUnexpected, L"予期しないエラーが発生しました。"});
        return zn::kExitUnexpected;
    }
}
