#include "settings/registry_win32.h"

#include "settings/registry_codec.h"
#include "wine/test_key.h"

#include <sddl.h>

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(ReadRegDefault, MissingKeyGivesEmpty)
{
    TestKey key(L"ReadMissing");
    LSTATUS status = ERROR_SUCCESS;
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L"", &status), VariantValue(Empty{}));
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L"nosuch"), VariantValue(Empty{}));
}

// Only "not found" may be taken for "no editor registered": a key the user may not read is
// another answer, which the launcher reports.
TEST(ReadRegDefault, TellsWhyAKeyCouldNotBeRead)
{
    TestKey key(L"ReadDenied");
    key.SetText(key.Subkey(), nullptr, L"C:\\Tools\\ed.exe");
    const auto setDacl = [&](const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                           &descriptor, nullptr));
        HKEY opened = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.Subkey().c_str(), 0, WRITE_DAC, &opened),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, descriptor),
                  ERROR_SUCCESS);
        ::RegCloseKey(opened);
        ::LocalFree(descriptor);
    };
    LSTATUS status = ERROR_GEN_FAILURE;
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L"", &status),
              VariantValue(std::wstring(L"C:\\Tools\\ed.exe")));
    EXPECT_EQ(status, ERROR_SUCCESS);

    setDacl(L"D:(D;;0x1;;;WD)(A;;KA;;;WD)"); // nobody may query its values
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L"", &status), VariantValue(Empty{}));
    EXPECT_EQ(status, ERROR_ACCESS_DENIED);
    setDacl(L"D:(A;;KA;;;WD)"); // so that the key can be deleted
}

TEST(ReadRegDefault, ReadsTheStoredPathExactly)
{
    TestKey key(L"ReadPath");
    key.SetAnsiText(key.Subkey(), "C:\\Tools\\editor.exe"); // as a code-page program stores it
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""),
              VariantValue(std::wstring(L"C:\\Tools\\editor.exe")));
}

TEST(ReadRegDefault, ReadsLongValuesWhole)
{
    TestKey key(L"ReadLong");
    for (const std::size_t length : {255u, 256u, 259u, 300u, 4000u}) {
        const std::string text(length, 'a');
        key.SetAnsiText(key.Subkey(), text);
        EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""),
                  VariantValue(std::wstring(length, L'a')))
            << length;
    }
    // "C:\\" and 126 two-byte characters: 255 bytes in code page 932, read whole as well.
    const std::wstring japanese = L"C:\\" + std::wstring(126, L'漢');
    key.SetText(key.Subkey(), nullptr, japanese);
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""), VariantValue(japanese));
}

TEST(ReadRegDefault, ANameReadsTheDefaultValueOfThatSubkeyNeverANamedValue)
{
    TestKey key(L"ReadNamed");
    key.SetText(key.Subkey(), L"child", L"named value of the key");
    key.SetText(key.Below(L"child"), nullptr, L"default value of the subkey");
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L"child"),
              VariantValue(std::wstring(L"default value of the subkey")));
    // The key's own default value is not set: the empty text, as the system reports it.
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""), VariantValue(std::wstring()));
}

TEST(ReadRegDefault, ADefaultValueThatIsNotTextGivesEmpty)
{
    TestKey key(L"ReadDword");
    const DWORD number = 0x00636261; // "abc" if it were taken as text
    key.SetRaw(key.Subkey(), nullptr, REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""), VariantValue(Empty{}));
    const BYTE binary[] = {'a', 0, 0, 0};
    key.SetRaw(key.Subkey(), nullptr, REG_BINARY, binary, sizeof(binary));
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""), VariantValue(Empty{}));
}

TEST(ReadRegDefault, TextWithoutTerminatorOrWithCharactersBeyondTheCodePage)
{
    TestKey key(L"ReadOdd");
    const wchar_t unterminated[] = {L'a', L'b'};
    key.SetRaw(key.Subkey(), nullptr, REG_SZ, unterminated, sizeof(unterminated));
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""),
              VariantValue(std::wstring(L"ab")));

    const std::wstring beyond = L"C:\\Tools\\한글\\ed\u00E4.exe"; // not in code page 932
    key.SetText(key.Subkey(), nullptr, beyond);
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), L""), VariantValue(beyond));
}

} // namespace
} // namespace zn
