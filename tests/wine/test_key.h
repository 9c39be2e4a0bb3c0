// A registry key of the test's own under HKCU\Software\ZanvekNotepadTests, deleted with
// everything below it before the test and after it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace zn {

class TestKey {
public:
    static constexpr const wchar_t* kParent = L"Software\\ZanvekNotepadTests";

    explicit TestKey(const std::wstring& name) : m_subkey(std::wstring(kParent) + L"\\" + name)
    {
        Delete();
    }
    ~TestKey()
    {
        Delete();
        // The parent too, once no test's key is left under it (the call refuses a key with
        // subkeys): a test run on a Windows host leaves nothing behind.
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kParent);
    }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    const std::wstring& Subkey() const { return m_subkey; }
    std::wstring Below(const std::wstring& relative) const { return m_subkey + L"\\" + relative; }

    bool Exists(const std::wstring& subkey) const
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }

    // Stores raw data with the wide or the ANSI function, bypassing the program's writer.
    void SetRaw(const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data,
                DWORD size) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    void SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& text) const
    {
        SetRaw(subkey, name, REG_SZ, text.c_str(),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void SetAnsiText(const std::wstring& subkey, const std::string& text) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExA(key, nullptr, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    struct Raw {
        LSTATUS status = ERROR_FILE_NOT_FOUND;
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
    };
    // A value as stored, read through the ANSI function (the view of code-page programs) or the
    // wide one.
    Raw Read(const std::wstring& subkey, const wchar_t* name, bool ansi) const
    {
        Raw raw;
        HKEY key = nullptr;
        raw.status = ::RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key);
        if (raw.status != ERROR_SUCCESS) return raw;
        DWORD size = 0;
        const std::string nameA = Narrow(name);
        auto query = [&](BYTE* data) {
            return ansi ? ::RegQueryValueExA(key, name ? nameA.c_str() : nullptr, nullptr,
                                             &raw.type, data, &size)
                        : ::RegQueryValueExW(key, name, nullptr, &raw.type, data, &size);
        };
        raw.status = query(nullptr);
        if (raw.status == ERROR_SUCCESS) {
            raw.bytes.resize(size);
            raw.status = query(raw.bytes.data());
            raw.bytes.resize(size);
        }
        ::RegCloseKey(key);
        return raw;
    }

private:
    static std::string Narrow(const wchar_t* name)
    {
        if (!name) return {};
        const int n = ::WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<std::size_t>(n), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, name, -1, out.data(), n, nullptr, nullptr);
        out.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
        return out;
    }

    void Delete() const { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subkey.c_str()); }

    std::wstring m_subkey;
};

} // namespace zn
