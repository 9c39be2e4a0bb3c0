#include "setup/default_app.h"

#include "common/decimal.h"
#include "settings/registry_codec.h"

#include <algorithm>

namespace zn {
namespace {

using Kind = RegistryChange::Kind;

constexpr std::uint32_t kRegNone = 0; // REG_NONE

constexpr std::wstring_view kClasses = L"SOFTWARE\\Classes";
constexpr std::wstring_view kProgIdKey = L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile";
constexpr std::wstring_view kApplicationKey = L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe";
constexpr std::wstring_view kRegisteredApplicationsKey = L"SOFTWARE\\RegisteredApplications";
constexpr std::wstring_view kFriendlyName = L"テキスト ドキュメント (ZanvekNotepad)";
constexpr std::wstring_view kDescription =
    L"メモ帳の代わりに、登録したエディタでテキスト ファイルを開きます。";

// Whose a value under one of our names is.
enum class Owner {
    Exact,     // ours only when it holds exactly what we write
    OurProgId, // the ProgID's own values: ours when its open command starts our launcher
    OurVendor, // under our own vendor key, worded by any version: ours unless the key is not
};

struct OurValue {
    std::wstring key;
    std::wstring name;
    std::wstring text; // REG_SZ
    Owner owner;
};

// Where OurValues puts the two values that tell whose a key is.
constexpr std::size_t kOpenCommand = 2;
constexpr std::size_t kApplicationName = 9;

// Every value the registration writes, in the order it writes them; the ProgID's open command,
// which tells the ProgID as ours, is the last of the ProgID's.
std::vector<OurValue> OurValues(std::wstring_view launcher)
{
    const std::wstring quoted = L"\"" + std::wstring(launcher) + L"\"";
    const std::wstring progId(kProgIdKey);
    std::vector<OurValue> values = {
        {progId, L"", std::wstring(kFriendlyName), Owner::OurProgId},
        {progId + L"\\DefaultIcon", L"", quoted + L",0", Owner::OurProgId},
        {progId + L"\\shell\\open\\command", L"", quoted + L" notepad.exe \"%1\"",
         Owner::OurProgId},
        {std::wstring(kApplicationKey), L"FriendlyAppName", std::wstring(kRegisteredAppName),
         Owner::Exact},
    };
    for (const std::wstring_view type : kTextFileTypes)
        values.push_back({JoinKey(JoinKey(kClasses, type), L"OpenWithProgids"),
                          std::wstring(kTextFileProgId), L"", Owner::Exact});
    const std::wstring capabilities(kCapabilitiesKey);
    values.push_back(
        {capabilities, L"ApplicationDescription", std::wstring(kDescription), Owner::OurVendor});
    values.push_back(
        {capabilities, L"ApplicationName", std::wstring(kRegisteredAppName), Owner::Exact});
    for (const std::wstring_view type : kTextFileTypes)
        values.push_back({capabilities + L"\\FileAssociations", std::wstring(type),
                          std::wstring(kTextFileProgId), Owner::Exact});
    values.push_back({std::wstring(kRegisteredApplicationsKey), std::wstring(kRegisteredAppName),
                      capabilities, Owner::Exact});
    return values;
}

RegistryKey* Find(RegistrySnapshot& snapshot, std::wstring_view path)
{
    for (SnapshotKey& entry : snapshot)
        if (entry.key.exists && SameIgnoringCase(entry.path, path)) return &entry.key;
    return nullptr;
}

const RegistryKey* Find(const RegistrySnapshot& snapshot, std::wstring_view path)
{
    return Find(const_cast<RegistrySnapshot&>(snapshot), path);
}

const RegistryValue* ValueAt(const RegistrySnapshot& snapshot, const OurValue& ours)
{
    const RegistryKey* found = Find(snapshot, ours.key);
    return found != nullptr ? FindValue(found->values, ours.name) : nullptr;
}

// The program a command line starts: its first word, cut as the system cuts a program's name
// (a quoted name ends at its closing quote).
std::wstring_view ProgramOf(std::wstring_view command)
{
    if (!command.empty() && command.front() == L'"') {
        const std::size_t close = command.find(L'"', 1);
        return command.substr(1, close == std::wstring_view::npos ? close : close - 1);
    }
    return command.substr(0, command.find_first_of(L" \t"));
}

// The ProgID of our name is ours when its open command starts our launcher.
bool ProgIdIsOurs(const RegistrySnapshot& snapshot, const std::vector<OurValue>& values,
                  std::wstring_view launcher)
{
    const RegistryValue* command = ValueAt(snapshot, values[kOpenCommand]);
    return command != nullptr && IsText(*command) &&
           SameIgnoringCase(ProgramOf(TextOf(*command)), launcher);
}

bool IsOurs(const RegistrySnapshot& snapshot, const std::vector<OurValue>& values,
            std::wstring_view launcher, const OurValue& ours, const RegistryValue& found)
{
    switch (ours.owner) {
    case Owner::Exact:
        // An OpenWithProgids entry, whose name alone counts, may also be REG_NONE without data:
        // the other form Microsoft documents for it, which a deployment tool may have written.
        if (ours.text.empty() && found.type == kRegNone && found.bytes.empty()) return true;
        return IsText(found) && SameIgnoringCase(TextOf(found), ours.text);
    case Owner::OurProgId: return ProgIdIsOurs(snapshot, values, launcher);
    case Owner::OurVendor: {
        const RegistryValue* name = ValueAt(snapshot, values[kApplicationName]);
        return name == nullptr || (IsText(*name) && TextOf(*name) == kRegisteredAppName);
    }
    }
    return false;
}

ForeignRegistration Foreign(const OurValue& ours, const RegistryValue& found)
{
    std::wstring shown = (found.name.empty() ? L"(既定)" : found.name) + L" = ";
    if (!IsText(found))
        shown += L"(種類 " + ToDecimal(found.type) + L" の値)";
    else
        shown += TextOf(found).empty() ? L"(空の値)" : TextOf(found);
    return {ours.key, shown};
}

std::size_t Depth(std::wstring_view key)
{
    return static_cast<std::size_t>(std::count(key.begin(), key.end(), L'\\'));
}

// Each level of `key` from the top, `key` itself last.
template <class Visit> void ForEachLevel(const std::wstring& key, Visit visit)
{
    for (std::size_t at = key.find(L'\\'); at != std::wstring::npos; at = key.find(L'\\', at + 1))
        visit(key.substr(0, at));
    visit(key);
}

void AddOnce(std::vector<std::wstring>& keys, const std::wstring& key)
{
    if (std::none_of(keys.begin(), keys.end(),
                     [&](const std::wstring& known) { return SameIgnoringCase(known, key); }))
        keys.push_back(key);
}

} // namespace

std::vector<std::wstring> DefaultAppKeys()
{
    // The launcher's path does not change which keys are written.
    std::vector<std::wstring> keys;
    for (const OurValue& ours : OurValues(L""))
        ForEachLevel(ours.key, [&](const std::wstring& level) { AddOnce(keys, level); });
    return keys;
}

RegistrySnapshot ReadSnapshot(RegistryStore& store, const std::vector<std::wstring>& keys)
{
    RegistrySnapshot snapshot;
    for (const std::wstring& key : keys)
        snapshot.push_back({key, store.ReadKey(key)});
    return snapshot;
}

DefaultAppPlan PlanDefaultAppInstall(const RegistrySnapshot& snapshot, std::wstring_view launcher)
{
    DefaultAppPlan plan;
    const std::vector<OurValue> values = OurValues(launcher);
    // Another program's ProgID of our name is named by its open command where it has one.
    const bool progIdIsOurs = ProgIdIsOurs(snapshot, values, launcher);
    for (auto ours = values.rbegin(); ours != values.rend(); ++ours) {
        const RegistryValue* found = ValueAt(snapshot, *ours);
        if (found != nullptr && !IsOurs(snapshot, values, launcher, *ours, *found)) {
            plan.refusal = Foreign(*ours, *found);
            if (!progIdIsOurs && ours->owner == Owner::OurProgId) return plan;
        }
    }
    if (plan.refusal) return plan;

    std::vector<std::wstring> created;
    for (const OurValue& ours : values) {
        ForEachLevel(ours.key, [&](const std::wstring& level) {
            if (Find(snapshot, level) != nullptr ||
                std::any_of(created.begin(), created.end(),
                            [&](const std::wstring& key) { return SameIgnoringCase(key, level); }))
                return;
            created.push_back(level);
            plan.changes.push_back({Kind::CreateKey, level, {}});
        });
        const RegistryValue wanted{ours.name, kRegSz, EncodeUtf16z(ours.text)};
        const RegistryValue* found = ValueAt(snapshot, ours);
        if (found == nullptr || found->type != wanted.type || found->bytes != wanted.bytes)
            plan.changes.push_back({Kind::SetValue, ours.key, wanted});
    }
    return plan;
}

std::vector<RegistryChange> PlanDefaultAppRemoval(const RegistrySnapshot& snapshot,
                                                  std::wstring_view launcher)
{
    std::vector<RegistryChange> changes;
    const std::vector<OurValue> values = OurValues(launcher);
    RegistrySnapshot model = snapshot;
    for (const OurValue& ours : values) {
        const RegistryValue* found = ValueAt(snapshot, ours);
        if (found == nullptr || !IsOurs(snapshot, values, launcher, ours, *found)) continue;
        changes.push_back({Kind::DeleteValue, ours.key, {found->name, 0, {}}});
        std::erase_if(Find(model, ours.key)->values,
                      [&](const RegistryValue& v) { return SameIgnoringCase(v.name, ours.name); });
    }
    // Then each key of ours left empty, the deepest first, so that its parent may follow.
    std::size_t deepest = 0;
    for (const SnapshotKey& entry : model)
        deepest = std::max(deepest, Depth(entry.path));
    for (std::size_t depth = deepest; depth > 0; --depth) {
        for (SnapshotKey& entry : model) {
            if (Depth(entry.path) != depth || !entry.key.exists || !entry.key.values.empty() ||
                !entry.key.subkeys.empty())
                continue;
            changes.push_back({Kind::DeleteKey, entry.path, {}});
            entry.key.exists = false;
            const std::size_t slash = entry.path.rfind(L'\\');
            if (RegistryKey* parent = Find(model, std::wstring_view(entry.path).substr(0, slash)))
                std::erase_if(parent->subkeys, [&](const std::wstring& name) {
                    return SameIgnoringCase(name, std::wstring_view(entry.path).substr(slash + 1));
                });
        }
    }
    return changes;
}

bool HasOurRegistration(const RegistrySnapshot& snapshot, std::wstring_view launcher)
{
    const std::vector<OurValue> values = OurValues(launcher);
    for (const OurValue& ours : values) {
        if (ours.owner == Owner::OurVendor) continue; // a description alone names no program
        const RegistryValue* found = ValueAt(snapshot, ours);
        if (found != nullptr && IsOurs(snapshot, values, launcher, ours, *found)) return true;
    }
    return false;
}

} // namespace zn
