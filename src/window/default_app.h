// Helping the user make this program the one that opens text files. Double-clicking a .txt file
// starts the app the user chose for .txt; where that is no notepad.exe the redirection reaches
// (the packaged Notepad of Windows 11 is an app, started without one), the chosen editor is never
// started. Windows lets no program make that choice: only the user can, on the Settings page
// that lists the apps registered for the type. After an editor is stored, the window offers to
// open that page; it never writes the user's choice itself.
#pragma once

#include "resources/names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zn {

// The system's version, as the kernel reports it (the compatibility layer reports 6.2 to a
// program without a manifest).
struct WindowsVersion {
    std::uint32_t build = 0;
    std::uint32_t revision = 0; // the update revision (UBR); 0 when unknown
};

// The app that opens .txt files for this user.
struct TextFileApp {
    std::optional<std::wstring> program; // its executable; nullopt when the lookup failed
    std::wstring name;                   // its name for the user; may be empty
};

// What the offer asks of the system.
class DefaultAppHost {
public:
    virtual ~DefaultAppHost() = default;
    virtual TextFileApp TextFileOpener() = 0;
    virtual std::wstring WindowsFolder() = 0;
    virtual std::wstring SystemFolder() = 0;
    virtual std::wstring SystemWow64Folder() = 0; // empty when the system has none
    // Equal as the file system compares names: letter case ignored.
    virtual bool SamePath(std::wstring_view a, std::wstring_view b) = 0;
    virtual WindowsVersion Version() = 0;
    // A Yes/No question titled "ZanvekNotePad"; true only for Yes.
    virtual bool AskYesNo(const std::wstring& text) = 0;
    // Opens a link with the shell. Throws AppError when it cannot.
    virtual void OpenLink(const std::wstring& link) = 0;
};

inline constexpr std::wstring_view kDefaultAppsPage = L"ms-settings:defaultapps";
// The program's own page under Default apps, documented for Windows 11 from the April 2023
// update (build 22621.1555 and 22000.1817) and from build 22631 on.
inline constexpr std::wstring_view kOwnDefaultAppsPage =
    L"ms-settings:defaultapps?registeredAppMachine=" ZN_WIDE(ZN_INTERNAL_NAME);

// The page to open on a system of `version`: the program's own where the link is documented,
// the list of default apps elsewhere.
std::wstring_view DefaultAppsLink(const WindowsVersion& version);

// True when `program` is a start the redirection reaches: the launcher <Windows>\ZanvekNotepad.exe
// or the notepad.exe of the Windows folder, the system folder or SysWOW64.
bool RedirectionReaches(std::wstring_view program, DefaultAppHost& host);

// The question, naming the app that opens text files now.
std::wstring DefaultAppQuestion(const TextFileApp& app);

// After an editor was stored in the launcher's window of the redirection: asks nothing when
// text files open with a start the redirection reaches; otherwise asks, and on Yes opens the
// page. Throws AppError when the page cannot be opened.
void OfferDefaultAppChoice(DefaultAppHost& host);

} // namespace zn
