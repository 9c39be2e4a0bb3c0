// The registration window's rules on a dropped path: the executable test, the file name, and
// the two messages built from them. The input is the path, as UTF-16LE units.
#include "fuzz_support.h"

#include "window/registration_texts.h"

#include <string>
#include <string_view>

namespace zn {
namespace {

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EndsInExeAnyCase(std::wstring_view text)
{
    if (text.size() < 3) return false;
    std::wstring last(text.substr(text.size() - 3));
    for (wchar_t& c : last)
        c = AsciiLower(c);
    return last == L"exe";
}

void CheckFileName(std::wstring_view path, std::wstring_view name)
{
    // The end of the path itself, holding no backslash, and cut just after one when it is not
    // the whole path.
    ZN_CHECK(name.size() <= path.size());
    ZN_CHECK(name.data() == path.data() + (path.size() - name.size()));
    ZN_CHECK(name.find(L'\\') == std::wstring_view::npos);
    ZN_CHECK(name.size() == path.size() || path[path.size() - name.size() - 1] == L'\\');
}

void CheckMessages(std::wstring_view path, std::wstring_view name)
{
    ZN_CHECK(DropQuestion(path) == std::wstring(name) + std::wstring(kQuestionSuffix));

    std::wstring expected(kConfirmationHead);
    expected += name;
    expected += kConfirmationTail;
    expected += L"\r\n";
    expected += kConfirmationNote;
    ZN_CHECK(ConfirmationMessage(path) == expected);
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    const std::wstring path = fuzz::Reader(data, size).RestText();
    const bool passes = PassesExecutableTest(path);
    ZN_CHECK(passes == EndsInExeAnyCase(path));

    const std::wstring_view name = FileNameOf(path);
    CheckFileName(path, name);
    // "exe" holds no backslash, so the file name passes exactly when the whole path does.
    ZN_CHECK(PassesExecutableTest(name) == passes);
    CheckMessages(path, name);
    return 0;
}
