// The redirection's registry side and the protection query on Windows. The notepad.exe key is
// always reached through the 64-bit view of HKEY_LOCAL_MACHINE, which the system reads for
// 64-bit and (since Windows 7) 32-bit programs alike.
#pragma once

#include "setup/redirection.h"

#include <string>
#include <vector>

namespace zn {

// True when SfcIsFileProtected (sfc.dll, loaded from the system folder on this call only)
// says Windows Resource Protection guards `path`; false when it does not, and when the DLL or
// the function is missing. Never called on the launcher's path.
bool IsProtectedSystemFile(const std::wstring& path);

class Win32RedirectHost final : public RedirectHost {
public:
    bool IsProtectedSystemFile(const std::wstring& path) override;
    // A missing key reads as `exists == false`; other failures throw, naming the key.
    NotepadOptions ReadNotepadOptions() override;
    // Failures throw AppError naming the key and the value, with the system's reason.
    void ApplyChanges(const std::vector<RegistryChange>& changes) override;
};

} // namespace zn
