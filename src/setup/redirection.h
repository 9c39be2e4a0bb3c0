// The second way to install, for systems that protect the Windows folder's notepad.exe: the
// system itself sends every start of a file named notepad.exe to this program, through the
// REG_SZ value `Debugger` under HKLM\<kNotepadOptionsKey> (64-bit view), which names a copy of
// this program in the Windows folder. Windows starts `<Debugger> <original program> <tail>`.
//
// Where the redirection lives ("places"): the notepad.exe key itself and, when its REG_DWORD
// UseFilter is non-zero, each direct subkey whose FilterFullPath names a file called
// notepad.exe (with the filter on, Windows reads only the subkey matching the started path).
// Only `Debugger` values are ever written or deleted, and the key itself is created when
// missing and deleted when the removal leaves it empty; UseFilter, the filter subkeys and their
// other values are never changed.
//
// Deciding is portable (plans over a model of the key as read); doing goes through
// RedirectHost (the registry and the protection query) and SetupHost (the files).
#pragma once

#include "setup/install_kind.h"
#include "setup/setup_host.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// Under HKEY_LOCAL_MACHINE; 32-bit programs read the same key on Windows 7 and later.
inline constexpr std::wstring_view kNotepadOptionsKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe";
inline constexpr std::wstring_view kDebuggerValueName = L"Debugger";

struct RegistryValue {
    std::wstring name;
    std::uint32_t type = 0; // REG_*
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

struct RegistrySubkey {
    std::wstring name;
    std::vector<RegistryValue> values;
    friend bool operator==(const RegistrySubkey&, const RegistrySubkey&) = default;
};

// The notepad.exe key as read: its values and its direct subkeys with their values, in the
// order the registry lists them. Names are matched without regard to letter case, as the
// registry matches them.
struct NotepadOptions {
    bool exists = false;
    std::vector<RegistryValue> values;
    std::vector<RegistrySubkey> subkeys;
    friend bool operator==(const NotepadOptions&, const NotepadOptions&) = default;
};

struct RegistryChange {
    enum class Kind {
        CreateKey,   // the notepad.exe key, when missing
        SetValue,    // `value` (name, type, bytes)
        DeleteValue, // the value named `value.name`
        DeleteKey,   // the notepad.exe key, only if it is empty when the change is carried out
    };
    Kind kind = Kind::SetValue;
    std::wstring subkey; // empty: the notepad.exe key itself; else one of its direct subkeys
    RegistryValue value;
    friend bool operator==(const RegistryChange&, const RegistryChange&) = default;
};

// A `Debugger` that is not ours, found in a place of the redirection.
struct ForeignDebugger {
    std::wstring place; // empty: the notepad.exe key itself; else the subkey's name
    std::wstring value; // the value as text, for the report
    friend bool operator==(const ForeignDebugger&, const ForeignDebugger&) = default;
};

struct RedirectInstallPlan {
    std::vector<RegistryChange> changes;
    std::optional<ForeignDebugger> refusal; // when set, `changes` is empty
};

struct RedirectPaths {
    std::wstring systemNotepad; // <Windows>\notepad.exe: its protection decides the kind
    std::wstring self;          // this program, the source of the copy
    std::wstring copy;          // <Windows>\ZanvekNotepad.exe
    std::wstring command;       // the Debugger value: the copy's path in double quotes
};

// Letters A-Z match either case; every other character only itself. The names and paths
// compared here are ASCII in practice; a non-ASCII difference counts as a difference, so a
// Debugger that cannot be told to be ours is taken for another program's: kept, never replaced.
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

// `windowsFolder` as GetWindowsDirectoryW reports it; a trailing backslash (a Windows folder at
// a drive's root) is not doubled.
RedirectPaths MakeRedirectPaths(std::wstring_view windowsFolder, std::wstring_view self);

// Our `command` as a REG_SZ Debugger in any place, or in any direct subkey (a subkey that left
// the filter still holds what removal deletes). Compared without regard to letter case.
bool HasOurDebugger(const NotepadOptions& options, std::wstring_view command);

// Creates the key when missing and sets Debugger = `command` in each place that lacks ours;
// refuses, with no changes, when any place holds a Debugger that is not ours.
RedirectInstallPlan PlanRedirectInstall(const NotepadOptions& options, std::wstring_view command);

// Deletes each Debugger equal to ours in the key and in its direct subkeys, then the key when
// that leaves it without values and subkeys.
std::vector<RegistryChange> PlanRedirectRemoval(const NotepadOptions& options,
                                                std::wstring_view command);

// What the redirection needs from the system besides set-up's file operations. Methods throw
// AppError naming the key (or file) and the system's reason.
class RedirectHost {
public:
    virtual ~RedirectHost() = default;
    // True when Windows Resource Protection guards `path`; false where the system cannot tell.
    virtual bool IsProtectedSystemFile(const std::wstring& path) = 0;
    virtual NotepadOptions ReadNotepadOptions() = 0;
    // In order; stops at the first failure (the changes before it stay done).
    virtual void ApplyChanges(const std::vector<RegistryChange>& changes) = 0;
};

// Redirect where the system protects <Windows>\notepad.exe, else the copy over notepad.exe.
InstallKind ChooseInstallKind(RedirectHost& registry, const RedirectPaths& paths);

// Refuses a foreign Debugger before changing anything (kErrorForeignDebugger); refuses a copy
// path that holds another program (kErrorNotOurProgram); copies this program to the copy path,
// then writes the redirection. notepad.exe is not touched and no backup is made.
void InstallRedirect(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths);

// Removes our Debugger values (and the key when that empties it) first, then deletes the copy
// when it is this program. A copy that cannot be deleted (a launcher started from it is still
// waiting for its editor) raises an error that says so, after the redirection is gone; the next
// run finds the copy and offers removal again.
void RemoveRedirect(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths);

// Our Debugger anywhere HasOurDebugger looks, or the copy exists and is this program.
bool RedirectInstalled(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths);

} // namespace zn
