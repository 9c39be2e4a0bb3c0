#include "common/security_win32.h"

#include "common/unique_handle.h"

#include <aclapi.h>

namespace zn {
namespace {

// The account's name as Windows shows it; the SID's own text form when it has no name here.
std::wstring AccountName(PSID sid)
{
    if (sid == nullptr) return {};
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
        return {};
    return domainLength != 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

// Owns the security descriptor the security functions allocate.
struct LocalMemory {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ~LocalMemory() { ::LocalFree(descriptor); }
};

std::wstring ParentOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

bool IsProcessElevated() noexcept
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation),
                                 &size) &&
           elevation.TokenIsElevated != 0;
}

std::wstring OwnerOfFile(const std::wstring& path)
{
    std::wstring at = path;
    while (!at.empty() && ::GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES)
        at = ParentOf(at);
    if (at.empty()) return {};
    LocalMemory memory;
    PSID owner = nullptr;
    if (::GetNamedSecurityInfoW(at.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                nullptr, nullptr, nullptr, &memory.descriptor) != ERROR_SUCCESS)
        return {};
    return AccountName(owner);
}

std::wstring OwnerOfKey(HKEY root, const std::wstring& path, REGSAM view)
{
    for (std::wstring at = path;; at = ParentOf(at)) {
        UniqueHkey key;
        const LSTATUS opened = ::RegOpenKeyExW(root, at.c_str(), 0, READ_CONTROL | view, key.put());
        if (opened == ERROR_SUCCESS) {
            LocalMemory memory;
            PSID owner = nullptr;
            if (::GetSecurityInfo(key.get(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, &owner,
                                  nullptr, nullptr, nullptr, &memory.descriptor) != ERROR_SUCCESS)
                return {};
            return AccountName(owner);
        }
        if (opened != ERROR_FILE_NOT_FOUND || at.empty()) return {};
    }
}

} // namespace zn
