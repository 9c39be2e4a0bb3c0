// An in-memory machine registry and protection answer. Keys and values behave as the registry's:
// names in any letter case, a key created only under an existing one, a key deleted only when
// empty. `failAt` makes the write of that index (counted from 0, creating and deleting included)
// fail once as a denied write; `denied` keys refuse to be opened for writing. Every write is
// logged into the same list as the fake file operations, so a test sees the order of both.
#pragma once

#include "common/app_error.h"
#include "setup/default_app.h"
#include "setup/notepad_option_trees.h"
#include "setup/redirection.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zn {

// Orders key paths as the registry matches them: in any letter case.
struct KeyNameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        const auto fold = [](wchar_t c) {
            return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        };
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [&](wchar_t x, wchar_t y) { return fold(x) < fold(y); });
    }
};

class FakeRedirectHost : public RedirectHost {
public:
    struct Key {
        std::wstring name; // the path as spelled when it was created
        std::vector<RegistryValue> values;
        friend bool operator==(const Key&, const Key&) = default;
    };
    using Keys = std::map<std::wstring, Key, KeyNameLess>;

    // A machine as Windows without the packaged Notepad has it: the levels above the keys
    // set-up writes, and the text types owned by the classic Notepad's ProgIDs.
    explicit FakeRedirectHost(std::vector<std::wstring>& log) : m_log(log)
    {
        AddLevels(ParentOf(std::wstring(kNotepadOptionsKey)));
        for (const auto& [type, progId] : {std::pair{L".txt", L"txtfile"},
                                           {L".log", L"txtfile"},
                                           {L".ini", L"inifile"},
                                           {L".inf", L"inffile"}}) {
            const std::wstring key = JoinKey(L"SOFTWARE\\Classes", type);
            AddLevels(key);
            keys[key].values = {trees::Sz(L"", progId)};
        }
        const std::wstring open = L"SOFTWARE\\Classes\\txtfile\\shell\\open\\command";
        AddLevels(open);
        keys[open].values = {trees::Sz(L"", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1", 2)};
    }

    Keys keys;
    bool notepadProtected = false;
    std::vector<std::wstring> asked; // the paths whose protection was asked for
    int failAt = -1;
    std::set<std::wstring, KeyNameLess> denied;
    int notifications = 0;

    // The notepad.exe key, read as the program reads it; and replaced wholesale.
    NotepadOptions Tree() { return ReadNotepadOptions(*this); }
    void SetTree(const NotepadOptions& options)
    {
        const std::wstring root(kNotepadOptionsKey);
        std::erase_if(keys, [&](const auto& entry) { return IsAtOrBelow(entry.first, root); });
        if (!options.exists) return;
        AddLevels(root);
        keys[root].values = options.values;
        for (const RegistrySubkey& subkey : options.subkeys)
            keys[JoinKey(root, subkey.name)] = {JoinKey(root, subkey.name), subkey.values};
    }
    // A key and the levels above it, each created when missing.
    void AddLevels(const std::wstring& key)
    {
        std::wstring level;
        for (std::size_t at = 0; at != std::wstring::npos;) {
            const std::size_t slash = key.find(L'\\', at);
            level = key.substr(0, slash);
            if (!keys.contains(level)) keys[level] = {level, {}};
            at = slash == std::wstring::npos ? slash : slash + 1;
        }
    }

    bool IsProtectedSystemFile(const std::wstring& path) override
    {
        asked.push_back(path);
        return notepadProtected;
    }
    void NotifyAssociationsChanged() override
    {
        ++notifications;
        m_log.push_back(L"notify shell");
    }

    std::wstring ShownPath(const std::wstring& key) override
    {
        return L"HKEY_LOCAL_MACHINE\\" + key;
    }

    RegistryKey ReadKey(const std::wstring& key) override
    {
        const auto it = keys.find(key);
        if (it == keys.end()) return {};
        RegistryKey read{true, it->second.values, {}};
        for (const auto& [path, child] : keys)
            if (SameIgnoringCase(ParentOf(path), it->first))
                read.subkeys.push_back(LastLevel(child.name));
        return read;
    }

    void CheckWritable(const std::vector<RegistryChange>& changes) override
    {
        for (const RegistryChange& change : changes) {
            std::wstring place = change.key;
            if (change.kind == RegistryChange::Kind::CreateKey)
                while (!keys.contains(place) && !place.empty())
                    place = ParentOf(place);
            if (denied.contains(place)) Fail(5, L"registry", ShownPath(place));
        }
    }

    bool CreateKey(const std::wstring& key) override
    {
        Write(L"create", key, L"");
        if (keys.contains(key)) return false;
        if (!ParentOf(key).empty() && !keys.contains(ParentOf(key))) Fail(2, L"create", key);
        keys[key] = {key, {}};
        return true;
    }

    void SetValue(const std::wstring& key, const RegistryValue& value) override
    {
        Write(L"set", key, value.name);
        const auto it = keys.find(key);
        if (it == keys.end()) Fail(2, L"set", key); // ERROR_FILE_NOT_FOUND
        std::vector<RegistryValue>& values = it->second.values;
        const auto found = std::find_if(values.begin(), values.end(), [&](const auto& v) {
            return SameIgnoringCase(v.name, value.name);
        });
        // The registry keeps the stored name's spelling and replaces the data.
        if (found != values.end()) {
            found->type = value.type;
            found->bytes = value.bytes;
        } else {
            values.push_back(value);
        }
    }

    bool DeleteValue(const std::wstring& key, const std::wstring& name) override
    {
        Write(L"delete", key, name);
        const auto it = keys.find(key);
        if (it == keys.end()) return false;
        return std::erase_if(it->second.values,
                             [&](const auto& v) { return SameIgnoringCase(v.name, name); }) != 0;
    }

    bool DeleteKeyIfEmpty(const std::wstring& key) override
    {
        Write(L"delete key", key, L"");
        const RegistryKey now = ReadKey(key);
        if (!now.exists || !now.values.empty() || !now.subkeys.empty()) return false;
        keys.erase(key);
        return true;
    }

private:
    static std::wstring ParentOf(const std::wstring& key)
    {
        const std::size_t slash = key.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
    }
    static std::wstring LastLevel(const std::wstring& key)
    {
        return key.substr(key.rfind(L'\\') + 1);
    }
    static bool IsAtOrBelow(const std::wstring& key, const std::wstring& root)
    {
        return SameIgnoringCase(key, root) ||
               (key.size() > root.size() && key[root.size()] == L'\\' &&
                SameIgnoringCase(key.substr(0, root.size()), root));
    }

    // Logs a write, keys of the notepad.exe option key by their place ("[]", "[0]"), and fails
    // it when it is the one to fail.
    void Write(const wchar_t* what, const std::wstring& key, const std::wstring& name)
    {
        const std::wstring root(kNotepadOptionsKey);
        std::wstring where = key;
        if (IsAtOrBelow(key, root))
            where = key.size() == root.size() ? L"" : key.substr(root.size() + 1);
        if (m_writes++ == failAt) Fail(5, L"registry", ShownPath(key)); // ERROR_ACCESS_DENIED
        m_log.push_back(L"registry " + std::wstring(what) + L" [" + where + L"]" + name);
    }

    std::vector<std::wstring>& m_log;
    int m_writes = 0;
};

} // namespace zn
