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
// RedirectHost (the registry and the protection query) and SetupHost (the files). The default-app
// registration (default_app.h) joins the same all-or-nothing step.
#pragma once

#include "setup/install_kind.h"
#include "setup/registry_store.h"
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

struct RegistrySubkey {
    std::wstring name;
    std::vector<RegistryValue> values;
    friend bool operator==(const RegistrySubkey&, const RegistrySubkey&) = default;
};

// The notepad.exe key as read: its values and its direct subkeys with their values, in the
// order the registry lists them.
struct NotepadOptions {
    bool exists = false;
    std::vector<RegistryValue> values;
    std::vector<RegistrySubkey> subkeys;
    friend bool operator==(const NotepadOptions&, const NotepadOptions&) = default;
};

// The key of a place of the redirection: the notepad.exe key itself (`place` empty) or one of
// its direct subkeys.
std::wstring NotepadOptionsKeyOf(std::wstring_view place);

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
    std::wstring folder;        // the Windows folder, where the copy and its temporary files go
    std::wstring systemNotepad; // <Windows>\notepad.exe: its protection decides the kind
    std::wstring copy;          // <Windows>\ZanvekNotepad.exe, the launcher Notepad's starts reach
    std::wstring command;       // the Debugger value: the copy's path in double quotes
};

// `windowsFolder` as GetWindowsDirectoryW reports it; a trailing backslash (a Windows folder at
// a drive's root) is not doubled.
RedirectPaths MakeRedirectPaths(std::wstring_view windowsFolder);

// The notepad.exe key and its direct subkeys, as `store` holds them now.
NotepadOptions ReadNotepadOptions(RegistryStore& store);

// Our `command` as a REG_SZ Debugger in any place, or in any direct subkey (a subkey that left
// the filter still holds what removal deletes). Compared without regard to letter case.
bool HasOurDebugger(const NotepadOptions& options, std::wstring_view command);

// Creates the key when missing and sets Debugger = `command` in each place that lacks ours;
// refuses, with no changes, when any place holds a Debugger that is not ours (an empty one too).
RedirectInstallPlan PlanRedirectInstall(const NotepadOptions& options, std::wstring_view command);

// Deletes each Debugger equal to ours in the key and in its direct subkeys, then the key when
// that leaves it without values and subkeys.
std::vector<RegistryChange> PlanRedirectRemoval(const NotepadOptions& options,
                                                std::wstring_view command);

// The machine's registry as the redirection needs it (HKEY_LOCAL_MACHINE, 64-bit view), the
// protection query, and the shell's notice of changed file associations.
class RedirectHost : public RegistryStore {
public:
    // True when Windows Resource Protection guards `path`; false where the system cannot tell.
    virtual bool IsProtectedSystemFile(const std::wstring& path) = 0;
    // Tells the shell that file associations changed.
    virtual void NotifyAssociationsChanged() = 0;
};

// Redirect where the system protects <Windows>\notepad.exe, else the copy over notepad.exe.
InstallKind ChooseInstallKind(RedirectHost& system, const RedirectPaths& paths);

// All or nothing. Refuses another program's Debugger or registration before changing anything
// (kErrorForeignDebugger, kErrorForeignRegistration), and a copy path that holds another
// program (kErrorNotOurProgram). Writes the program's own image into a new file of the Windows
// folder, checks that every registry place can be written, puts the new file in the copy's
// place (an earlier copy kept aside), then writes the registry. Should a step fail, what this
// run changed is undone (the earlier copy back in its place) before the failure is raised.
// notepad.exe is not touched and no backup is made.
void InstallRedirect(SetupHost& files, RedirectHost& system, const RedirectPaths& paths);

// Removes our registry values (and the keys that leaves empty) first, all or nothing, then
// deletes the copy when it is this program. A copy that cannot be deleted (a launcher started
// from it is still waiting for its editor) raises an error that says so, after the registry is
// clean; the next run finds the copy and offers removal again.
void RemoveRedirect(SetupHost& files, RedirectHost& system, const RedirectPaths& paths);

// Anything of ours left: a Debugger, the copy (this program), or a value of the default-app
// registration; so a half-removed installation is offered for removal too.
bool RedirectInstalled(SetupHost& files, RedirectHost& system, const RedirectPaths& paths);

// An install cut short between its two renames (the earlier copy put aside under a temporary
// name, the new one not yet in its place) leaves a redirection that names no file: every start
// of Notepad fails. Where our Debugger or registration names the copy and there is none, the
// first temporary file of ours that is this program takes its place again. Quiet: returns false
// when that could not be done, and then the temporary files must stay for a later run.
bool RestoreCopySetAside(SetupHost& files, RedirectHost& system,
                         const RedirectPaths& paths) noexcept;

} // namespace zn
