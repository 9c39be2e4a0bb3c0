#include "window/drop_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zn {
namespace {

using Bytes = std::vector<std::uint8_t>;

// CF_HDROP data as the shell builds it: the header, then the names.
Bytes DropData(const std::vector<std::wstring>& names, bool wide = true, std::uint32_t offset = 20)
{
    Bytes data(offset, 0);
    data[0] = static_cast<std::uint8_t>(offset);
    data[16] = wide ? 1 : 0;
    for (const std::wstring& name : names) {
        for (const wchar_t c : name) {
            data.push_back(static_cast<std::uint8_t>(c & 0xFF));
            if (wide) data.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
        }
        data.push_back(0);
        if (wide) data.push_back(0);
    }
    data.push_back(0);
    if (wide) data.push_back(0);
    return data;
}

std::wstring Latin1(std::string_view text)
{
    return std::wstring(text.begin(), text.end());
}

TEST(DropFiles, ReadsEveryNameInOrder)
{
    const std::vector<std::wstring> names = {L"C:\\Tools\\Editor.EXE", L"C:\\日本語\\ed.exe",
                                             L"D:\\x"};
    EXPECT_EQ(ParseDropFiles(DropData(names), Latin1), names);
    EXPECT_EQ(ParseDropFiles(DropData(names, true, 24), Latin1), names); // a larger header
    EXPECT_EQ(ParseDropFiles(DropData({L"C:\\ansi.exe"}, false), Latin1),
              std::vector<std::wstring>{L"C:\\ansi.exe"});
}

TEST(DropFiles, MalformedDataIsNoFileList)
{
    Bytes shortData(19, 0);
    EXPECT_EQ(ParseDropFiles(shortData, Latin1), std::nullopt);
    Bytes beyond = DropData({L"a"});
    beyond[0] = 200; // the list would start past the end
    EXPECT_EQ(ParseDropFiles(beyond, Latin1), std::nullopt);
    Bytes inside = DropData({L"a"});
    inside[0] = 4; // the list would start inside the header
    EXPECT_EQ(ParseDropFiles(inside, Latin1), std::nullopt);
    EXPECT_EQ(ParseDropFiles(DropData({}), Latin1), std::nullopt); // no names at all
}

TEST(DropFiles, ANameCutOffByTheEndOfTheDataIsLeftOut)
{
    Bytes data = DropData({L"C:\\whole.exe", L"C:\\cut.exe"});
    data.resize(data.size() - 6); // drop the list's end, the second name's NUL and its last unit
    EXPECT_EQ(ParseDropFiles(data, Latin1), std::vector<std::wstring>{L"C:\\whole.exe"});
    Bytes odd = DropData({L"C:\\a.exe"});
    odd.pop_back(); // half of the list's final NUL
    EXPECT_EQ(ParseDropFiles(odd, Latin1), std::vector<std::wstring>{L"C:\\a.exe"});
}

} // namespace
} // namespace zn
