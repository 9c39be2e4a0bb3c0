// TrimNull on any text: the input is the text, as UTF-16LE units.
#include "fuzz_support.h"

#include "settings/registry_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring text = zn::fuzz::Reader(data, size).RestText();
    const std::wstring trimmed = zn::TrimNull(text);
    ZN_CHECK(trimmed.find(L'\0') == std::wstring::npos);
    ZN_CHECK(text.starts_with(trimmed));
    // It stops at the first NUL and nowhere else.
    ZN_CHECK(trimmed.size() == text.size() || text[trimmed.size()] == L'\0');
    ZN_CHECK(zn::TrimNull(trimmed) == trimmed);
    return 0;
}
