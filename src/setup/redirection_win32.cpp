#include "setup/redirection_win32.h"

#include "common/app_error.h"
#include "common/unique_handle.h"

#include <windows.h>

#include <algorithm>

namespace zn {
namespace {

// Every handle to the notepad.exe key and its subkeys is opened in the 64-bit view: a 32-bit
// build of this program would otherwise land in Wow6432Node.
constexpr REGSAM kView = KEY_WOW64_64KEY;

constexpr wchar_t kRead[] = L"読み取れませんでした。";
constexpr wchar_t kCreate[] = L"作成できませんでした。";
constexpr wchar_t kWrite[] = L"書き込めませんでした。";
constexpr wchar_t kDelete[] = L"削除できませんでした。";

// The path of the notepad.exe key or one of its subkeys, below HKEY_LOCAL_MACHINE.
std::wstring PathOf(std::wstring_view subkey)
{
    std::wstring path(kNotepadOptionsKey);
    if (!subkey.empty()) path.append(L"\\").append(subkey);
    return path;
}

// Raises the failure of one step on the key (`value` empty) or on one of its values.
[[noreturn]] void FailRegistry(LSTATUS status, std::wstring_view subkey, std::wstring_view value,
                               const wchar_t* failed)
{
    std::wstring what = value.empty() ? std::wstring(L"レジストリのキーを")
                                      : L"レジストリの値 " + std::wstring(value) + L" を";
    // The key belongs to the system: only an administrator may change it.
    throw AppError(static_cast<std::uint32_t>(status), what + failed,
                   L"HKEY_LOCAL_MACHINE\\" + PathOf(subkey),
                   status == ERROR_ACCESS_DENIED ? L"管理者として実行してください。" : L"");
}

void Check(LSTATUS status, std::wstring_view subkey, std::wstring_view value, const wchar_t* failed)
{
    if (status != ERROR_SUCCESS) FailRegistry(status, subkey, value, failed);
}

UniqueHkey Open(std::wstring_view subkey, REGSAM access, LSTATUS& status)
{
    UniqueHkey key;
    status =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, PathOf(subkey).c_str(), 0, access | kView, key.put());
    return key;
}

std::vector<RegistryValue> ReadValues(HKEY key, std::wstring_view subkey)
{
    std::wstring name;
    std::vector<std::uint8_t> data;
    std::vector<RegistryValue> values;
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LSTATUS status = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                         data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) return values;
        if (status == ERROR_MORE_DATA) {
            // Buffers for the key's longest name and largest value, at least doubled each
            // time, so that a value growing meanwhile cannot keep the reading going for ever.
            DWORD longestName = 0;
            DWORD largestData = 0;
            status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, &longestName, &largestData, nullptr, nullptr);
            Check(status, subkey, L"", kRead);
            name.resize(std::max<std::size_t>(longestName + 1, name.size() * 2 + 1));
            // Never empty: a null data pointer would ask only for the size.
            data.resize(std::max<std::size_t>(largestData, data.size() * 2 + 1));
            continue;
        }
        Check(status, subkey, L"", kRead);
        values.push_back({std::wstring(name.data(), nameLength), type,
                          std::vector<std::uint8_t>(data.begin(), data.begin() + size)});
        ++index;
    }
}

// Deletes the notepad.exe key when it holds no value and no subkey now, whatever the plan saw:
// something that appeared since stays.
LSTATUS DeleteKeyIfEmpty()
{
    DWORD subkeys = 0;
    DWORD values = 0;
    LSTATUS status = ERROR_SUCCESS;
    {
        const UniqueHkey key = Open(L"", KEY_QUERY_VALUE, status);
        if (status != ERROR_SUCCESS) return status;
        status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                    nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS || subkeys != 0 || values != 0) return status;
    return ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, PathOf(L"").c_str(), kView, 0);
}

} // namespace

bool IsProtectedSystemFile(const std::wstring& path)
{
    // Loaded here rather than imported, so that the launcher never maps it; and only from the
    // system folder, whatever folder set-up runs from.
    const HMODULE sfc = ::LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (sfc == nullptr) return false;
    using IsFileProtected = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    const auto isFileProtected = reinterpret_cast<IsFileProtected>(
        reinterpret_cast<void*>(::GetProcAddress(sfc, "SfcIsFileProtected")));
    const bool isProtected = isFileProtected != nullptr && isFileProtected(nullptr, path.c_str());
    ::FreeLibrary(sfc);
    return isProtected;
}

bool Win32RedirectHost::IsProtectedSystemFile(const std::wstring& path)
{
    return zn::IsProtectedSystemFile(path);
}

NotepadOptions Win32RedirectHost::ReadNotepadOptions()
{
    NotepadOptions options;
    LSTATUS status = ERROR_SUCCESS;
    const UniqueHkey key = Open(L"", KEY_READ, status);
    if (status == ERROR_FILE_NOT_FOUND) return options;
    Check(status, L"", L"", kRead);
    options.exists = true;
    options.values = ReadValues(key.get(), L"");
    for (DWORD index = 0;; ++index) {
        wchar_t name[256]; // the longest key name the registry allows, and its NUL
        DWORD length = 256;
        status =
            ::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return options;
        Check(status, L"", L"", kRead);
        const std::wstring_view subkeyName(name, length);
        const UniqueHkey subkey = Open(subkeyName, KEY_READ, status);
        Check(status, subkeyName, L"", kRead);
        options.subkeys.push_back({std::wstring(subkeyName), ReadValues(subkey.get(), subkeyName)});
    }
}

void Win32RedirectHost::ApplyChanges(const std::vector<RegistryChange>& changes)
{
    for (const RegistryChange& change : changes) {
        LSTATUS status = ERROR_SUCCESS;
        std::wstring_view value = change.value.name;
        const wchar_t* failed = kDelete;
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey: {
            UniqueHkey key;
            status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, PathOf(L"").c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView, nullptr,
                                       key.put(), nullptr);
            value = {};
            failed = kCreate;
            break;
        }
        case RegistryChange::Kind::SetValue: {
            const UniqueHkey key = Open(change.subkey, KEY_SET_VALUE, status);
            if (status == ERROR_SUCCESS)
                status = ::RegSetValueExW(key.get(), change.value.name.c_str(), 0,
                                          change.value.type, change.value.bytes.data(),
                                          static_cast<DWORD>(change.value.bytes.size()));
            failed = kWrite;
            break;
        }
        case RegistryChange::Kind::DeleteValue: {
            const UniqueHkey key = Open(change.subkey, KEY_SET_VALUE, status);
            if (status == ERROR_SUCCESS)
                status = ::RegDeleteValueW(key.get(), change.value.name.c_str());
            break;
        }
        case RegistryChange::Kind::DeleteKey:
            status = DeleteKeyIfEmpty();
            value = {};
            break;
        }
        // A value or key that is gone already at removal is what was wanted.
        if (status == ERROR_FILE_NOT_FOUND && failed == kDelete) continue;
        Check(status, change.subkey, value, failed);
    }
}

} // namespace zn
