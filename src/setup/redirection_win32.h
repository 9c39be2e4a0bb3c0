// The redirection's registry side and the protection query on Windows.
#pragma once

#include "setup/redirection.h"

#include <windows.h>

#include <string>
#include <vector>

namespace zn {

// True when SfcIsFileProtected (sfc.dll, loaded from the system folder on this call only)
// says Windows Resource Protection guards `path`; false when it does not, and when the DLL or
// the function is missing. Never called on the launcher's path.
bool IsProtectedSystemFile(const std::wstring& path);

// A registry tree below `root`\`base`, always in the 64-bit view, which the system reads for
// 64-bit and (since Windows 7) 32-bit programs alike. Reports name keys as `shownRoot`\<key>.
class Win32RegistryStore final : public RegistryStore {
public:
    Win32RegistryStore(HKEY root, std::wstring base, std::wstring shownRoot);

    std::wstring ShownPath(const std::wstring& key) override;
    RegistryKey ReadKey(const std::wstring& key) override;
    void CheckWritable(const std::vector<RegistryChange>& changes) override;
    bool CreateKey(const std::wstring& key) override;
    void SetValue(const std::wstring& key, const RegistryValue& value) override;
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override;
    bool DeleteKeyIfEmpty(const std::wstring& key) override;

private:
    std::wstring FullPath(const std::wstring& key) const;
    [[noreturn]] void FailAt(LSTATUS status, const std::wstring& key, std::wstring_view value,
                             const wchar_t* failed) const;

    HKEY m_root;
    std::wstring m_base;
    std::wstring m_shownRoot;
};

// The machine's registry (HKEY_LOCAL_MACHINE), the protection query and the shell's notice.
// Tests hand in a scratch tree instead of the machine's.
class Win32RedirectHost final : public RedirectHost {
public:
    Win32RedirectHost();
    explicit Win32RedirectHost(Win32RegistryStore registry);

    bool IsProtectedSystemFile(const std::wstring& path) override;
    void NotifyAssociationsChanged() override;

    std::wstring ShownPath(const std::wstring& key) override { return m_registry.ShownPath(key); }
    RegistryKey ReadKey(const std::wstring& key) override { return m_registry.ReadKey(key); }
    void CheckWritable(const std::vector<RegistryChange>& changes) override
    {
        m_registry.CheckWritable(changes);
    }
    bool CreateKey(const std::wstring& key) override { return m_registry.CreateKey(key); }
    void SetValue(const std::wstring& key, const RegistryValue& value) override
    {
        m_registry.SetValue(key, value);
    }
    bool DeleteValue(const std::wstring& key, const std::wstring& name) override
    {
        return m_registry.DeleteValue(key, name);
    }
    bool DeleteKeyIfEmpty(const std::wstring& key) override
    {
        return m_registry.DeleteKeyIfEmpty(key);
    }

private:
    Win32RegistryStore m_registry;
    bool m_notifyShell; // only for the machine's own registry
};

} // namespace zn
