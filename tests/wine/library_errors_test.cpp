// The C++ runtime's container errors as the program raises them (startup/library_errors_win32.cpp
// is linked into this test program as into ZanvekNotepad.exe): each must still be an exception
// that the program's catch sites take as before, lack of memory as std::bad_alloc (its own
// report) and everything else as something other (the unexpected error's report).
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace zn {
namespace {

TEST(LibraryErrors, ReachTheCatchSitesAsTheLibrarysOwnDid)
{
    const struct {
        const char* raisedBy;
        void (*raise)();
        bool lackOfMemory;
    } rows[] = {
        {"wstring::at past the end", [] { (void)std::wstring(L"ab").at(2); }, false},
        {"vector::reserve over max_size",
         [] {
             std::vector<int> v;
             v.reserve(v.max_size() + 1);
         },
         false},
        {"allocator over its maximum",
         [] { (void)std::allocator<long long>().allocate(static_cast<std::size_t>(-1) / 4); },
         true},
    };
    for (const auto& row : rows) {
        bool caught = false;
        try {
            row.raise();
        } catch (const std::bad_alloc&) {
            caught = true;
            EXPECT_TRUE(row.lackOfMemory) << row.raisedBy << ": reported as lack of memory";
        } catch (const std::exception&) {
            caught = true;
            EXPECT_FALSE(row.lackOfMemory) << row.raisedBy << ": not reported as lack of memory";
        } catch (...) {
            caught = true;
            ADD_FAILURE() << row.raisedBy << ": no std::exception";
        }
        EXPECT_TRUE(caught) << row.raisedBy << ": nothing raised";
    }
}

} // namespace
} // namespace zn
