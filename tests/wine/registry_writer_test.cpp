#include "settings/registry_win32.h"

#include "common/error_code_of.h"
#include "common/under_wine.h"
#include "settings/editor_setting.h"
#include "wine/test_key.h"

#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zn {
namespace {

using Bytes = std::vector<BYTE>;

// Handles this process holds: a key left open shows up here. Windows counts them itself;
// GetProcessHandleCount answers 0 under Wine, whose system-wide handle list is exact instead.
DWORD OpenHandles()
{
    DWORD counted = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &counted) && counted != 0) return counted;
    struct Entry { // Wine's layout, with the whole process id
        ULONG ownerPid;
        BYTE objectType, flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<char> buffer(1 << 22);
    NTSTATUS status = 0;
    for (int tries = 0; tries < 8; ++tries) {
        ULONG size = 0;
        status = ::NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &size);
        if (status != kInfoLengthMismatch) break;
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, size + (1 << 16)));
    }
    if (status != 0) {
        ADD_FAILURE() << "the handle list cannot be read";
        return 0;
    }
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        count += list->entries[i].ownerPid == ::GetCurrentProcessId();
    return count;
}

// The text as the system's code page spells it, with its NUL.
Bytes InTheSystemsCodePage(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    return Bytes(bytes.begin(), bytes.end());
}

TEST(WriteRegValue, EachKindIsStoredByteForByte)
{
    TestKey key(L"WriteKinds");
    const struct {
        const char* why;
        VariantValue value;
        DWORD type;
        Bytes ansiBytes; // as a code-page program reads it back
    } rows[] = {
        {"text", std::wstring(L"abc"), REG_SZ, {0x61, 0x62, 0x63, 0x00}},
        {"empty text", std::wstring(), REG_SZ, {0x00}},
        {"true", kTrue, REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"false", kFalse, REG_DWORD, {0, 0, 0, 0}},
        {"Integer -2", std::int16_t{-2}, REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"Long 1", std::int32_t{1}, REG_DWORD, {0x01, 0, 0, 0}},
        {"Byte() 0..2", ByteArray(0, {7, 8, 9}), REG_BINARY, {7, 8, 9}},
        {"Byte() -1..2", ByteArray(-1, {6, 7, 8, 9}), REG_BINARY, {7, 8, 9}},
        {"Byte", std::uint8_t{7}, REG_SZ, {'7', 0x00}},
        {"Empty", Empty{}, REG_SZ, {0x00}},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), L"v", row.value)) << row.why;
        const TestKey::Raw raw = key.Read(key.Subkey(), L"v", /*ansi=*/true);
        EXPECT_EQ(raw.status, ERROR_SUCCESS) << row.why;
        EXPECT_EQ(raw.type, row.type) << row.why;
        EXPECT_EQ(raw.bytes, row.ansiBytes) << row.why;
    }
}

TEST(WriteRegValue, JapaneseTextIsStoredWholeInBothViews)
{
    TestKey key(L"WriteJapanese");
    const std::wstring path = L"C:\\ツール\\エディタ.exe";
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), L"", path));
    const TestKey::Raw wide = key.Read(key.Subkey(), nullptr, false);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(wide.bytes.data())), path);

    // A code-page program sees the text in the system's code page: under Wine the tests' 932,
    // where every Japanese character here takes two bytes, then one NUL. A Windows system has
    // the code page of its own setting, and its own conversion says what such a program sees.
    if (RunningUnderWine()) {
        ASSERT_EQ(::GetACP(), 932u) << "the tests run with a Japanese code page";
    }
    const Bytes sjis = {'C',  ':',  '\\', 0x83, 0x63, 0x81, 0x5B, 0x83, 0x8B, '\\', 0x83, 0x47,
                        0x83, 0x66, 0x83, 0x42, 0x83, 0x5E, '.',  'e',  'x',  'e',  0x00};
    EXPECT_EQ(key.Read(key.Subkey(), nullptr, true).bytes,
              ::GetACP() == 932 ? sjis : InTheSystemsCodePage(path));
}

TEST(WriteRegValue, RaisedErrorsStoreNothing)
{
    TestKey key(L"WriteErrors");
    const struct {
        const char* why;
        VariantValue value;
        std::uint32_t error;
    } rows[] = {
        {"Byte() 1..3", ByteArray(1, {1, 2, 3}), kErrorSubscriptOutOfRange},
        {"Byte() without elements", ByteArray(0, {}), kErrorSubscriptOutOfRange},
        {"Byte() without storage", ByteArray(), kErrorSubscriptOutOfRange},
        {"Null", Null{}, kErrorConversion},
        {"Long()", LongArray{{1}}, kErrorConversion},
    };
    // The process's first raised error leaves two handles open under Wine that later ones reuse
    // (seen when this test runs first): one call beforehand, so that only a leak is counted.
    ErrorCodeOf([&] { WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), L"v", rows[0].value); });
    for (const auto& row : rows) {
        const DWORD handles = OpenHandles();
        EXPECT_EQ(
            ErrorCodeOf([&] { WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), L"v", row.value); }),
            row.error)
            << row.why;
        EXPECT_FALSE(key.Exists(key.Subkey())) << row.why << ": not even the key is created";
        EXPECT_EQ(OpenHandles(), handles) << row.why;
    }
}

TEST(WriteRegValue, CreatesEveryMissingLevelReplacesAndLeavesOtherValuesAlone)
{
    TestKey key(L"WriteLevels");
    const std::wstring deep = key.Below(L"one\\two\\three");
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, deep, L"", std::wstring(L"first")));
    key.SetText(deep, L"other", L"untouched");
    ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, deep, L"", std::wstring(L"second")));
    EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, deep, L""), VariantValue(std::wstring(L"second")));
    const TestKey::Raw other = key.Read(deep, L"other", false);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(other.bytes.data())), L"untouched");
}

TEST(WriteRegValue, ReportsRegistryFailuresAsFalseAndClosesTheKey)
{
    TestKey key(L"WriteFailures");
    const DWORD handles = OpenHandles();
    { // the count does see an open key
        HKEY open = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &open),
                  ERROR_SUCCESS);
        EXPECT_EQ(OpenHandles(), handles + 1);
        ::RegCloseKey(open);
    }
    const auto invalidRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345678));
    EXPECT_FALSE(WriteRegValue(invalidRoot, key.Subkey(), L"", std::wstring(L"x")));
    // The key opens, but a value name beyond the registry's limit cannot be stored.
    EXPECT_FALSE(WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), std::wstring(20000, L'n'),
                               std::wstring(L"x")));
    EXPECT_TRUE(key.Exists(key.Subkey()));
    EXPECT_EQ(OpenHandles(), handles);
}

TEST(WriteRegValue, WhatItStoresTheLauncherReadsBackExactly)
{
    TestKey key(L"WriteRoundTrip");
    const std::wstring paths[] = {
        L"C:\\Tools\\editor.exe",
        L"C:\\Program Files\\エディタ\\日本語フォルダ\\editor.exe",
        L"C:\\Tools\\ed\u00E4\\\U0001F600.exe", // outside code page 932
        L"C:\\" + std::wstring(400, L'x') + L".exe",
        L"",
    };
    for (const std::wstring& path : paths) {
        ASSERT_TRUE(WriteRegValue(HKEY_CURRENT_USER, key.Subkey(), kEditorPathValueName, path));
        EXPECT_EQ(ReadRegDefault(HKEY_CURRENT_USER, key.Subkey(), kEditorPathValueName),
                  VariantValue(path));
    }
}

} // namespace
} // namespace zn
