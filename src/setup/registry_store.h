// Changes to one registry tree, planned from what was read and carried out all or nothing. The
// program works on the machine's tree (HKEY_LOCAL_MACHINE, 64-bit view); tests hand in a scratch
// tree of their own. Keys are paths below the tree's root, levels separated by "\"; names match
// without regard to letter case, as the registry matches them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

struct RegistryValue {
    std::wstring name;      // empty: the key's default value
    std::uint32_t type = 0; // REG_*
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// A key as read: its values and the names of its direct subkeys, in the order the registry
// lists them.
struct RegistryKey {
    bool exists = false;
    std::vector<RegistryValue> values;
    std::vector<std::wstring> subkeys;
    friend bool operator==(const RegistryKey&, const RegistryKey&) = default;
};

struct RegistryChange {
    enum class Kind {
        CreateKey,   // `key`, when missing; its parent exists by then
        SetValue,    // `value` (name, type, bytes) in `key`
        DeleteValue, // the value named `value.name` in `key`, when there
        DeleteKey,   // `key`, only if it holds no value and no subkey when the change is made
    };
    Kind kind = Kind::SetValue;
    std::wstring key;
    RegistryValue value;
    friend bool operator==(const RegistryChange&, const RegistryChange&) = default;
};

// Letters A-Z match either case; every other character only itself. The names and paths
// compared here are ASCII in practice; a non-ASCII difference counts as a difference, so a
// value that cannot be told to be ours is taken for another program's: kept, never replaced.
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b);

// `parent` "\" `child`; either may be empty.
std::wstring JoinKey(std::wstring_view parent, std::wstring_view child);

// The value named `name` (any letter case); nullptr when there is none.
const RegistryValue* FindValue(const std::vector<RegistryValue>& values, std::wstring_view name);

// REG_SZ or REG_EXPAND_SZ; TextOf gives such a value's text up to its first NUL.
bool IsText(const RegistryValue& value);
std::wstring TextOf(const RegistryValue& value);

// One registry tree. Failures throw AppError naming the key (and the value) with the system's
// reason, and with advice where a lack of rights is the reason.
class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // How reports name `key`: with the tree's root ("HKEY_LOCAL_MACHINE\\...").
    virtual std::wstring ShownPath(const std::wstring& key) = 0;
    // A missing key reads as exists == false.
    virtual RegistryKey ReadKey(const std::wstring& key) = 0;
    // Opens every place `changes` will write for writing, without writing anything: existing
    // keys for setting and deleting values (or for their own deletion), the nearest existing
    // level above a missing key for creating subkeys. Throws for the first that refuses.
    virtual void CheckWritable(const std::vector<RegistryChange>& changes) = 0;
    virtual bool CreateKey(const std::wstring& key) = 0; // true when this call created it
    virtual void SetValue(const std::wstring& key, const RegistryValue& value) = 0;
    virtual bool DeleteValue(const std::wstring& key,
                             const std::wstring& name) = 0;     // false: there was none
    virtual bool DeleteKeyIfEmpty(const std::wstring& key) = 0; // true when this call deleted it
};

// Carries `changes` out in order. Should one fail, undoes what this call did, newest first, and
// rethrows that failure; a step that could not be undone is named in its advice.
void ApplyAllOrNothing(RegistryStore& store, const std::vector<RegistryChange>& changes);

} // namespace zn
