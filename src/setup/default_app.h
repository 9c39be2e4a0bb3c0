// Where the packaged Notepad of Windows 11 owns text files, double-clicking one is an app
// activation that never starts a notepad.exe, so the redirection cannot reach it. Windows lets
// no program set a default app; what it documents is that a program registers as a candidate
// for the file types (a ProgID, OpenWithProgids, and Capabilities listed under
// RegisteredApplications), and the user then chooses it in Settings. The redirect install
// registers so, machine-wide next to the Debugger values (HKEY_LOCAL_MACHINE, 64-bit view):
//
//   SOFTWARE\Classes\ZanvekNotepad.TextFile                  @ = a friendly name
//     DefaultIcon                                            @ = "<launcher>",0
//     shell\open\command                                     @ = "<launcher>" notepad.exe "%1"
//   SOFTWARE\Classes\Applications\ZanvekNotepad.exe          FriendlyAppName = ZanvekNotepad
//   SOFTWARE\Classes\<type>\OpenWithProgids                  ZanvekNotepad.TextFile = ""
//   SOFTWARE\Kestrane\ZanvekNOTEPAD\Capabilities             ApplicationName,
//   ApplicationDescription
//     FileAssociations                                       <type> = ZanvekNotepad.TextFile
//   SOFTWARE\RegisteredApplications                          ZanvekNotepad = <Capabilities key>
//
// for each <type> of kTextFileTypes. The Notepad word in the open command makes it the command
// line the redirection gives, so the launcher drops that word, never a document named like it.
// The rules are the Debugger's: a name that holds other data (another program's ProgID of our
// name, a different command) is reported and nothing is changed; removal deletes only our
// values, then each key that this leaves empty. Nothing here writes a user's choice.
#pragma once

#include "setup/registry_store.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

inline constexpr std::wstring_view kTextFileProgId = L"ZanvekNotepad.TextFile";
// The name the program is registered under, which Settings lists and its link names.
inline constexpr std::wstring_view kRegisteredAppName = L"ZanvekNotepad";
inline constexpr std::wstring_view kCapabilitiesKey =
    L"SOFTWARE\\Kestrane\\ZanvekNOTEPAD\\Capabilities";
inline constexpr std::array<std::wstring_view, 4> kTextFileTypes = {L".txt", L".log", L".ini",
                                                                    L".inf"};

// Keys as read, each with its path.
struct SnapshotKey {
    std::wstring path;
    RegistryKey key;
};
using RegistrySnapshot = std::vector<SnapshotKey>;

// Every key the registration may write or delete, and each level above it: what the plans read.
std::vector<std::wstring> DefaultAppKeys();

RegistrySnapshot ReadSnapshot(RegistryStore& store, const std::vector<std::wstring>& keys);

// Another program's data under one of our names, as the report shows it.
struct ForeignRegistration {
    std::wstring key;
    std::wstring value; // "<name> = <data>"
    friend bool operator==(const ForeignRegistration&, const ForeignRegistration&) = default;
};

struct DefaultAppPlan {
    std::vector<RegistryChange> changes;
    std::optional<ForeignRegistration> refusal; // when set, `changes` is empty
};

// `launcher` is <Windows>\ZanvekNotepad.exe. Creates what is missing, level by level, and sets
// each value that is missing or (for the ones only we write) worded otherwise by an earlier
// version; refuses when any name holds another program's data.
DefaultAppPlan PlanDefaultAppInstall(const RegistrySnapshot& snapshot, std::wstring_view launcher);

// Deletes each of our values that is there (the ProgID's open command last, so that a removal
// cut short still leaves the ProgID known as ours), then every key that this leaves empty,
// deepest first.
std::vector<RegistryChange> PlanDefaultAppRemoval(const RegistrySnapshot& snapshot,
                                                  std::wstring_view launcher);

// Any of our values left, so that removal is offered for a half-removed registration too.
bool HasOurRegistration(const RegistrySnapshot& snapshot, std::wstring_view launcher);

} // namespace zn
