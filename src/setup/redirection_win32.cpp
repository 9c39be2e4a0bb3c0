#include "setup/redirection_win32.h"

#include "common/app_error.h"
#include "common/security_win32.h"
#include "common/unique_handle.h"
#include "setup/access_advice.h"

#include <shlobj.h>

#include <algorithm>
#include <optional>

namespace zn {
namespace {

// Every handle is opened in the 64-bit view: a 32-bit build of this program would otherwise
// land in Wow6432Node.
constexpr REGSAM kView = KEY_WOW64_64KEY;

constexpr wchar_t kRead[] = L"読み取れませんでした。";
constexpr wchar_t kCreate[] = L"作成できませんでした。";
constexpr wchar_t kWrite[] = L"書き込めませんでした。";
constexpr wchar_t kDelete[] = L"削除できませんでした。";
constexpr wchar_t kNoSubkeys[] = L"の下にキーを作成できません。";

std::wstring ParentOf(const std::wstring& key)
{
    const std::size_t slash = key.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
}

// Loaded here rather than imported, so that the launcher never maps them; and only from the
// system folder, whatever folder set-up runs from.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name)
        : m_module(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
    {
    }
    ~SystemLibrary()
    {
        if (m_module != nullptr) ::FreeLibrary(m_module);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;
    HMODULE get() const { return m_module; }

private:
    HMODULE m_module;
};

} // namespace

bool IsProtectedSystemFile(const std::wstring& path)
{
    // sfc.dll forwards SfcIsFileProtected to sfc_os.dll, and a forward may be resolved outside
    // the default DLL directories (Wine does): a sfc_os.dll beside a downloaded set-up would run.
    // Loaded from the system folder first, it is the one the forward finds.
    const SystemLibrary sfcOs(L"sfc_os.dll");
    const SystemLibrary sfc(L"sfc.dll");
    if (sfc.get() == nullptr) return false;
    using IsFileProtected = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    const auto isFileProtected = reinterpret_cast<IsFileProtected>(
        reinterpret_cast<void*>(::GetProcAddress(sfc.get(), "SfcIsFileProtected")));
    return isFileProtected != nullptr && isFileProtected(nullptr, path.c_str());
}

Win32RegistryStore::Win32RegistryStore(HKEY root, std::wstring base, std::wstring shownRoot)
    : m_root(root), m_base(std::move(base)), m_shownRoot(std::move(shownRoot))
{
}

std::wstring Win32RegistryStore::FullPath(const std::wstring& key) const
{
    return JoinKey(m_base, key);
}

std::wstring Win32RegistryStore::ShownPath(const std::wstring& key)
{
    return JoinKey(m_shownRoot, key);
}

void Win32RegistryStore::FailAt(LSTATUS status, const std::wstring& key, std::wstring_view value,
                                const wchar_t* failed) const
{
    std::wstring what = L"レジストリのキーを";
    if (!value.empty()) what = L"レジストリの値 " + std::wstring(value) + L" を";
    if (failed == kNoSubkeys) what = L"レジストリのキー";
    std::wstring advice;
    if (status == ERROR_ACCESS_DENIED)
        advice =
            AccessDeniedAdvice(IsProcessElevated(), OwnerOfKey(m_root, FullPath(key), kView), L"");
    throw AppError(static_cast<std::uint32_t>(status), what + failed, JoinKey(m_shownRoot, key),
                   std::move(advice));
}

namespace {

UniqueHkey OpenKey(HKEY root, const std::wstring& path, REGSAM access, LSTATUS& status)
{
    UniqueHkey key;
    status = ::RegOpenKeyExW(root, path.c_str(), 0, access | kView, key.put());
    return key;
}

// The value's name as reports show it.
std::wstring Named(const std::wstring& name)
{
    return name.empty() ? L"(既定)" : name;
}

} // namespace

RegistryKey Win32RegistryStore::ReadKey(const std::wstring& key)
{
    LSTATUS status = ERROR_SUCCESS;
    const UniqueHkey handle = OpenKey(m_root, FullPath(key), KEY_READ, status);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) FailAt(status, key, L"", kRead);

    RegistryKey read{true, {}, {}};
    std::wstring name;
    std::vector<std::uint8_t> data;
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        status = ::RegEnumValueW(handle.get(), index, name.data(), &nameLength, nullptr, &type,
                                 data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_MORE_DATA) {
            // Buffers for the key's longest name and largest value, at least doubled each
            // time, so that a value growing meanwhile cannot keep the reading going for ever.
            DWORD longestName = 0;
            DWORD largestData = 0;
            status =
                ::RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, &longestName, &largestData, nullptr, nullptr);
            if (status != ERROR_SUCCESS) FailAt(status, key, L"", kRead);
            name.resize(std::max<std::size_t>(longestName + 1, name.size() * 2 + 1));
            // Never empty: a null data pointer would ask only for the size.
            data.resize(std::max<std::size_t>(largestData, data.size() * 2 + 1));
            continue;
        }
        if (status != ERROR_SUCCESS) FailAt(status, key, L"", kRead);
        read.values.push_back({std::wstring(name.data(), nameLength), type,
                               std::vector<std::uint8_t>(data.begin(), data.begin() + size)});
        ++index;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t subkey[256]; // the longest key name the registry allows, and its NUL
        DWORD length = 256;
        status = ::RegEnumKeyExW(handle.get(), index, subkey, &length, nullptr, nullptr, nullptr,
                                 nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return read;
        if (status != ERROR_SUCCESS) FailAt(status, key, L"", kRead);
        read.subkeys.emplace_back(subkey, length);
    }
}

void Win32RegistryStore::CheckWritable(const std::vector<RegistryChange>& changes)
{
    std::vector<std::wstring> created; // keys the changes create: writable by whoever made them
    const auto isCreated = [&](const std::wstring& key) {
        return std::any_of(created.begin(), created.end(),
                           [&](const std::wstring& k) { return SameIgnoringCase(k, key); });
    };
    for (const RegistryChange& change : changes) {
        LSTATUS status = ERROR_SUCCESS;
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey: {
            OpenKey(m_root, FullPath(change.key), KEY_QUERY_VALUE, status);
            if (status == ERROR_SUCCESS) break;
            // The nearest level that exists must let a subkey be made under it.
            std::wstring level = ParentOf(change.key);
            while (!isCreated(level)) {
                OpenKey(m_root, FullPath(level), KEY_CREATE_SUB_KEY, status);
                if (status == ERROR_SUCCESS) break;
                if (status != ERROR_FILE_NOT_FOUND || level.empty())
                    FailAt(status, level, L"", kNoSubkeys);
                level = ParentOf(level);
            }
            created.push_back(change.key);
            break;
        }
        case RegistryChange::Kind::SetValue:
        case RegistryChange::Kind::DeleteValue:
            if (isCreated(change.key)) break;
            OpenKey(m_root, FullPath(change.key), KEY_SET_VALUE, status);
            if (status == ERROR_FILE_NOT_FOUND && change.kind == RegistryChange::Kind::DeleteValue)
                break; // nothing there to delete
            if (status != ERROR_SUCCESS)
                FailAt(status, change.key, Named(change.value.name),
                       change.kind == RegistryChange::Kind::SetValue ? kWrite : kDelete);
            break;
        case RegistryChange::Kind::DeleteKey:
            if (isCreated(change.key)) break;
            OpenKey(m_root, FullPath(change.key), DELETE | KEY_QUERY_VALUE, status);
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
                FailAt(status, change.key, L"", kDelete);
            break;
        }
    }
}

bool Win32RegistryStore::CreateKey(const std::wstring& key)
{
    UniqueHkey handle;
    DWORD disposition = 0;
    const LSTATUS status =
        ::RegCreateKeyExW(m_root, FullPath(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_QUERY_VALUE | kView, nullptr, handle.put(), &disposition);
    if (status != ERROR_SUCCESS) FailAt(status, key, L"", kCreate);
    return disposition == REG_CREATED_NEW_KEY;
}

void Win32RegistryStore::SetValue(const std::wstring& key, const RegistryValue& value)
{
    LSTATUS status = ERROR_SUCCESS;
    const UniqueHkey handle = OpenKey(m_root, FullPath(key), KEY_SET_VALUE, status);
    if (status == ERROR_SUCCESS)
        status = ::RegSetValueExW(handle.get(), value.name.c_str(), 0, value.type,
                                  value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
    if (status != ERROR_SUCCESS) FailAt(status, key, Named(value.name), kWrite);
}

bool Win32RegistryStore::DeleteValue(const std::wstring& key, const std::wstring& name)
{
    LSTATUS status = ERROR_SUCCESS;
    const UniqueHkey handle = OpenKey(m_root, FullPath(key), KEY_SET_VALUE, status);
    if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(handle.get(), name.c_str());
    // A value or key that is gone already is what was wanted.
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) FailAt(status, key, Named(name), kDelete);
    return true;
}

bool Win32RegistryStore::DeleteKeyIfEmpty(const std::wstring& key)
{
    // Whatever the plan saw: something that appeared since stays, and its key with it.
    DWORD subkeys = 0;
    DWORD values = 0;
    LSTATUS status = ERROR_SUCCESS;
    {
        const UniqueHkey handle = OpenKey(m_root, FullPath(key), KEY_QUERY_VALUE, status);
        if (status == ERROR_SUCCESS)
            status = ::RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                        nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    }
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0)
        status = ::RegDeleteKeyExW(m_root, FullPath(key).c_str(), kView, 0);
    else if (status == ERROR_SUCCESS)
        return false;
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) FailAt(status, key, L"", kDelete);
    return true;
}

Win32RedirectHost::Win32RedirectHost()
    : m_registry(HKEY_LOCAL_MACHINE, L"", L"HKEY_LOCAL_MACHINE"), m_notifyShell(true)
{
}

Win32RedirectHost::Win32RedirectHost(Win32RegistryStore registry)
    : m_registry(std::move(registry)), m_notifyShell(false)
{
}

bool Win32RedirectHost::IsProtectedSystemFile(const std::wstring& path)
{
    return zn::IsProtectedSystemFile(path);
}

void Win32RedirectHost::NotifyAssociationsChanged()
{
    // Only the machine's own registry is the shell's concern; a scratch tree is not.
    if (m_notifyShell) ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace zn
