#include "startup/terminate_win32.h"

#include "common/error_report.h"
#include "common/error_report_win32.h"

#include <windows.h>

#include <cstdlib>
#include <exception>

namespace zn {
namespace {

[[noreturn]] void ReportUnexpectedAndEnd() noexcept
{
    // The report's message loop may run the code that failed again; a second failure ends the
    // process at once.
    static volatile LONG reporting = 0;
    if (::InterlockedExchange(&reporting, 1) == 0)
        ShowErrorReport({kErrorUnexpected, L"予期しないエラーが発生しました。"});
    // Not ExitProcess: nothing more of a broken process's code may run.
    ::TerminateProcess(::GetCurrentProcess(), kExitUnexpected);
    std::abort(); // not reached
}

} // namespace

void InstallTerminateHandler() noexcept
{
#if !defined(__GLIBCXX__)
    std::set_terminate(ReportUnexpectedAndEnd);
#endif
}

} // namespace zn

#if defined(__GLIBCXX__)
// libstdc++'s default terminate handler writes the escaping exception's demangled type to the
// standard error stream, which a window program has not, and links the C++ demangler (about
// 60 KiB with the formatted output it uses). Defined here, it is the default handler from the
// link on, and the library's is never pulled in.
void __gnu_cxx::__verbose_terminate_handler()
{
    zn::ReportUnexpectedAndEnd();
}
#endif
