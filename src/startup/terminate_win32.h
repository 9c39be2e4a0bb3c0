// What ends the process when an error escapes where none may (a noexcept window procedure or
// COM method, a destructor during unwinding): the report of an unexpected error, then the end.
#pragma once

namespace zn {

// Makes the report the terminate handler. With libstdc++ it already is, from the link on (see
// terminate_win32.cpp); other runtimes are told at run time.
void InstallTerminateHandler() noexcept;

} // namespace zn
