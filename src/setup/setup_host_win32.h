#pragma once

#include "common/unique_handle.h"
#include "setup/setup_host.h"

#include <cstdint>

namespace zn {

// Set-up's file operations, lock and prompts on Windows. Failures name the operation, the file
// and the system's reason, and say what the user can do about a lack of rights.
class Win32SetupHost final : public SetupHost {
public:
    void HoldRunningImage() override;
    std::wstring TemporaryPath(const std::wstring& folder) override;
    void WriteProgramCopy(const std::wstring& to) override;
    std::vector<std::wstring> TemporaryFiles(const std::wstring& folder) override;
    bool IsFile(const std::wstring& path) override;
    bool IsReadOnly(const std::wstring& path) override;
    FileKind Inspect(const std::wstring& path) override;
    bool SameBytes(const std::wstring& a, const std::wstring& b) override;
    void CopyFileExclusive(const std::wstring& from, const std::wstring& to) override;
    void MoveFileExclusive(const std::wstring& from, const std::wstring& to) override;
    void MoveFileOver(const std::wstring& from, const std::wstring& to) override;
    void RemoveFile(const std::wstring& path) override;
    std::unique_ptr<SetupLock> LockSetup() override;
    bool AskYesNo(std::wstring_view text, std::wstring_view title) override;

private:
    UniqueFile m_image; // the running program's file, held from HoldRunningImage on
    std::uint64_t m_temporaryCount = 0;
};

} // namespace zn
