// Ends through std::terminate the way a defect in the program would (an exception leaving a
// noexcept function), with the program's own terminate handler.
#include "startup/terminate_win32.h"

#include <windows.h>

#include <stdexcept>

namespace {

void Throw()
{
    throw std::runtime_error("escapes");
}

void MayNotThrow() noexcept
{
    Throw();
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    zn::InstallTerminateHandler();
    MayNotThrow();
    return 0;
}
