// The notepad.exe option keys the redirection meets, shared by the native tests (on the model)
// and the Wine tests (written into the registry).
#pragma once

#include "common/app_error.h"
#include "common/little_endian.h"
#include "settings/registry_codec.h"
#include "setup/redirection.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace zn {

// Carries the changes out on the model as the registry does (the Wine tests compare the two).
// Every change is to the notepad.exe key or one of its direct subkeys.
inline void ApplyToModel(NotepadOptions& options, const std::vector<RegistryChange>& changes)
{
    const std::wstring root(kNotepadOptionsKey);
    for (const RegistryChange& change : changes) {
        const std::wstring place =
            change.key.size() > root.size() ? change.key.substr(root.size() + 1) : L"";
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey: options.exists = true; break;
        case RegistryChange::Kind::DeleteKey:
            if (options.values.empty() && options.subkeys.empty()) options = NotepadOptions{};
            break;
        case RegistryChange::Kind::SetValue:
        case RegistryChange::Kind::DeleteValue: {
            std::vector<RegistryValue>* values = options.exists ? &options.values : nullptr;
            if (!place.empty()) {
                values = nullptr;
                for (RegistrySubkey& subkey : options.subkeys)
                    if (SameIgnoringCase(subkey.name, place)) values = &subkey.values;
            }
            if (values == nullptr) Fail(2, L"no such key", change.key); // ERROR_FILE_NOT_FOUND
            const auto it = std::find_if(values->begin(), values->end(), [&](const auto& value) {
                return SameIgnoringCase(value.name, change.value.name);
            });
            if (change.kind == RegistryChange::Kind::DeleteValue) {
                if (it != values->end()) values->erase(it);
            } else if (it != values->end()) {
                // The registry keeps the stored name's spelling and replaces the data.
                it->type = change.value.type;
                it->bytes = change.value.bytes;
            } else {
                values->push_back(change.value);
            }
            break;
        }
        }
    }
}

} // namespace zn

namespace zn::trees {

inline constexpr std::uint32_t kRegExpandSz = 2; // REG_EXPAND_SZ

inline const std::wstring kCommand = L"\"C:\\windows\\ZanvekNotepad.exe\"";

inline RegistryValue Sz(const std::wstring& name, const std::wstring& text,
                        std::uint32_t type = kRegSz)
{
    return {name, type, EncodeUtf16z(text)};
}

inline RegistryValue Dword(const std::wstring& name, std::uint32_t value)
{
    std::vector<std::uint8_t> bytes;
    AppendU32(bytes, value);
    return {name, kRegDword, bytes};
}

inline RegistryValue Binary(const std::wstring& name, std::vector<std::uint8_t> bytes)
{
    return {name, kRegBinary, std::move(bytes)};
}

// A subkey as Windows 11 ships it: the start of `path` goes to the packaged Notepad.
inline RegistrySubkey AliasFilter(const std::wstring& name, const std::wstring& path)
{
    return {name,
            {Dword(L"AppExecutionAliasRedirect", 1), Sz(L"AppExecutionAliasRedirectPackages", L"*"),
             Sz(L"FilterFullPath", path)}};
}

inline NotepadOptions Windows10()
{
    return {
        true, {Dword(L"GlobalFlag", 0x02000000), Binary(L"MitigationOptions", {0, 1, 0, 0})}, {}};
}

inline NotepadOptions Windows11()
{
    return {true,
            {Dword(L"UseFilter", 1)},
            {AliasFilter(L"0", L"C:\\Windows\\notepad.exe"),
             AliasFilter(L"1", L"C:\\Windows\\System32\\notepad.exe"),
             AliasFilter(L"2", L"C:\\Windows\\SysWOW64\\notepad.exe")}};
}

// `options` with our redirection written into it, as install writes it.
inline NotepadOptions Redirected(NotepadOptions options)
{
    ApplyToModel(options, PlanRedirectInstall(options, kCommand).changes);
    return options;
}

template <class Change> NotepadOptions With(NotepadOptions options, Change change)
{
    change(options);
    return options;
}

// A tree the redirection may be installed into, and where it then lives.
struct Accepted {
    const char* why;
    NotepadOptions start;
    std::vector<std::wstring> places;
};

inline std::vector<Accepted> AcceptedTrees()
{
    return {
        {"no key: created, Debugger on it", {}, {L""}},
        {"Windows 10 style, unrelated values: kept", Windows10(), {L""}},
        {"Windows 11 style: the key and the three filter subkeys",
         Windows11(),
         {L"", L"0", L"1", L"2"}},
        {"filter off: a subkey for notepad.exe is not read by Windows",
         With(Windows11(), [](NotepadOptions& o) { o.values = {Dword(L"UseFilter", 0)}; }),
         {L""}},
        {"UseFilter that is not a DWORD is off",
         With(Windows11(), [](NotepadOptions& o) { o.values = {Sz(L"UseFilter", L"1")}; }),
         {L""}},
        {"filter names: any letter case and REG_EXPAND_SZ count, other files and none do not",
         {true,
          {Dword(L"usefilter", 7)},
          {AliasFilter(L"a", L"C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"),
           AliasFilter(L"b", L"C:\\Tools\\notepad.exe.bak"),
           AliasFilter(L"c", L"C:\\Tools\\mynotepad.exe"),
           {L"d", {Sz(L"FilterFullPath", L"%SystemRoot%\\notepad.exe", kRegExpandSz)}},
           {L"e", {Dword(L"AppExecutionAliasRedirect", 1)}},
           {L"f", {Dword(L"FilterFullPath", 1)}}}},
         {L"", L"a", L"d"}},
        {"another program's Debugger outside the filter: not ours to touch",
         With(Windows11(),
              [](NotepadOptions& o) {
                  o.subkeys.push_back({L"3",
                                       {Sz(L"FilterFullPath", L"C:\\Windows\\regedit.exe"),
                                        Sz(L"Debugger", L"C:\\Tools\\other.exe")}});
              }),
         {L"", L"0", L"1", L"2"}},
    };
}

// A tree that holds another program's Debugger in a place: install refuses.
struct Refused {
    const char* why;
    NotepadOptions start;
    ForeignDebugger found;
};

inline std::vector<Refused> RefusedTrees()
{
    return {
        {"on the key, its name in another letter case",
         With(Windows10(),
              [](NotepadOptions& o) {
                  o.values.push_back(Sz(L"debugger", L"\"C:\\Tools\\o.exe\" -z"));
              }),
         {L"", L"\"C:\\Tools\\o.exe\" -z"}},
        {"on a filter subkey, while the key is free",
         With(Windows11(),
              [](NotepadOptions& o) {
                  o.subkeys[1].values.push_back(Sz(L"Debugger", L"C:\\Tools\\other.exe"));
              }),
         {L"1", L"C:\\Tools\\other.exe"}},
        {"not text",
         With(Windows10(), [](NotepadOptions& o) { o.values.push_back(Dword(L"Debugger", 1)); }),
         {L"", L"(種類 4 の値、4 バイト)"}},
        {"our command, but expandable: not what we write",
         With(Windows10(),
              [](NotepadOptions& o) {
                  o.values.push_back(Sz(L"Debugger", kCommand, kRegExpandSz));
              }),
         {L"", kCommand}},
        {"empty: named as an empty value, and not ours either",
         With(Windows10(), [](NotepadOptions& o) { o.values.push_back(Sz(L"Debugger", L"")); }),
         {L"", L"(空の値)"}},
    };
}

} // namespace zn::trees
