// The errors the C++ runtime's containers raise (a string index out of range, a length over the
// maximum, memory that cannot be had), for ZanvekNotepad.exe alone.
//
// libstdc++ raises them through the std::__throw_* helpers of one object file. Its logic_error
// family carries a reference-counted copy of the message, which drags the library's old string,
// its narrow string and std::random_device into the link (about 56 KiB of a 256 KiB limit; GNU
// ld for Windows keeps every function of an object it takes in, since the unwind table names
// them all), although nothing here ever reads the message. Defined here, every one of those helpers
// is the program's own from the link on, and that object file is never pulled in; a helper left out
// would pull it in again and fail the link on the duplicates, never pass unseen.
//
// Nothing in the program catches these errors by type: they end, as before, in the unexpected
// error's report (exit code 4). Only the lack of memory stays std::bad_alloc, which is reported
// as such.
#include <exception>
#include <new>
#include <typeinfo>

#if defined(__GLIBCXX__)

#include <bits/functexcept.h>

namespace {

// Carries the library's message as the library passes it (a literal, never freed).
class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* what) noexcept : m_what(what) {}
    const char* what() const noexcept override { return m_what; }

private:
    const char* m_what;
};

} // namespace

namespace std {

void __throw_bad_exception()
{
    throw bad_exception();
}

void __throw_bad_alloc()
{
    throw bad_alloc();
}

void __throw_bad_array_new_length()
{
    throw bad_array_new_length();
}

void __throw_bad_cast()
{
    throw bad_cast();
}

void __throw_bad_typeid()
{
    throw bad_typeid();
}

void __throw_logic_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_domain_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_invalid_argument(const char* what)
{
    throw LibraryError(what);
}

void __throw_length_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_out_of_range(const char* what)
{
    throw LibraryError(what);
}

// The format's arguments are left out: the message is never shown.
void __throw_out_of_range_fmt(const char* format, ...)
{
    throw LibraryError(format);
}

void __throw_runtime_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_range_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_overflow_error(const char* what)
{
    throw LibraryError(what);
}

void __throw_underflow_error(const char* what)
{
    throw LibraryError(what);
}

} // namespace std

#endif
