// The system side of Main: the running executable, the command line, the registry setting,
// the editor's process, and the set-up and window roles.
#pragma once

#include "common/unique_handle.h"
#include "startup/main.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace zn {

class Win32StartupHost final : public StartupHost {
public:
    Win32StartupHost();
    ~Win32StartupHost() override;

    OwnExecutable LocateOwnExecutable() override;
    std::wstring WindowsFolder() override;
    std::wstring CanonicalFolder(const std::wstring& folder) override;
    std::wstring FullCommandLine() override;
    std::wstring ReadEditorPath() override;
    EditorFile OpenEditor(const std::wstring& path) override;
    DocumentPlace PlaceOfDocument(const std::wstring& path) override;
    std::optional<std::wstring> Environment(const std::wstring& name) override;
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override;
    int StartEditorAndWait(const std::wstring& path, std::wstring commandLine) override;
    SetupHost& Setup() override;
    RedirectHost& Redirection() override;
    int OpenRegistrationWindow(const WindowSettings& settings) override;
    using StartupHost::OpenRegistrationWindow;
    ElevationType ProcessElevationType() override;
    bool StartAsDesktopUser(const std::wstring& program, std::chrono::milliseconds limit) override;
    std::uint64_t SystemTime() override;
    bool WaitForRegistrationWindow(const std::wstring& program, std::uint64_t startedAfter,
                                   std::chrono::milliseconds limit) override;

private:
    // The editor OpenEditor checked, held until StartEditorAndWait has started it.
    UniqueFile m_editorFile;
    std::unique_ptr<SetupHost> m_setup;
    std::unique_ptr<RedirectHost> m_redirection;
};

} // namespace zn
