#include "setup/redirection.h"

#include "common/app_error.h"
#include "common/decimal.h"
#include "common/little_endian.h"
#include "settings/registry_codec.h"

#include <algorithm>

namespace zn {
namespace {

constexpr std::uint32_t kRegExpandSz = 2; // REG_EXPAND_SZ
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;

constexpr std::wstring_view kFilterSwitch = L"UseFilter";
constexpr std::wstring_view kFilterPath = L"FilterFullPath";

wchar_t FoldCase(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Letters A-Z match either case; every other character only itself. Names and paths here are
// ASCII in practice; a non-ASCII difference counts as different, so a Debugger we cannot be
// sure is ours is treated as another program's (kept, never overwritten).
bool SameIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

// Where the value or subkey of this name is in `items` (any letter case), or end().
template <class Items> auto PositionOf(Items& items, std::wstring_view name)
{
    return std::find_if(items.begin(), items.end(),
                        [name](const auto& item) { return SameIgnoringCase(item.name, name); });
}

template <class Named>
const Named* FindNamed(const std::vector<Named>& items, std::wstring_view name)
{
    const auto it = PositionOf(items, name);
    return it == items.end() ? nullptr : &*it;
}

bool IsText(const RegistryValue& value)
{
    return value.type == kRegSz || value.type == kRegExpandSz;
}

std::wstring Text(const RegistryValue& value)
{
    return TrimNull(DecodeUtf16(value.bytes));
}

bool IsOurs(const RegistryValue& debugger, std::wstring_view command)
{
    return debugger.type == kRegSz && SameIgnoringCase(Text(debugger), command);
}

// How a foreign Debugger is shown to the user.
std::wstring Describe(const RegistryValue& value)
{
    if (IsText(value)) return Text(value);
    return L"(種類 " + ToDecimal(value.type) + L" の値、" +
           ToDecimal(static_cast<std::int64_t>(value.bytes.size())) + L" バイト)";
}

bool FilterIsOn(const NotepadOptions& options)
{
    const RegistryValue* useFilter = FindNamed(options.values, kFilterSwitch);
    if (useFilter == nullptr || useFilter->type != kRegDword) return false;
    const std::optional<std::uint32_t> on = ReadU32(useFilter->bytes, 0);
    return on && *on != 0;
}

bool FiltersNotepad(const RegistrySubkey& subkey)
{
    const RegistryValue* path = FindNamed(subkey.values, kFilterPath);
    if (path == nullptr || !IsText(*path)) return false;
    const std::wstring text = Text(*path);
    const std::size_t slash = text.rfind(L'\\');
    return SameIgnoringCase(slash == std::wstring::npos ? std::wstring_view(text)
                                                        : std::wstring_view(text).substr(slash + 1),
                            L"notepad.exe");
}

// The values of a place ("" is the key itself); nullptr for a subkey that is not there.
const std::vector<RegistryValue>* ValuesOf(const NotepadOptions& options, std::wstring_view place)
{
    if (place.empty()) return &options.values;
    const RegistrySubkey* subkey = FindNamed(options.subkeys, place);
    return subkey == nullptr ? nullptr : &subkey->values;
}

std::vector<RegistryValue>* ValuesOf(NotepadOptions& options, std::wstring_view place)
{
    return const_cast<std::vector<RegistryValue>*>(
        ValuesOf(static_cast<const NotepadOptions&>(options), place));
}

std::wstring JoinWindowsPath(std::wstring_view folder, std::wstring_view name)
{
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + std::wstring(name);
}

} // namespace

RedirectPaths MakeRedirectPaths(std::wstring_view windowsFolder, std::wstring_view self)
{
    const std::wstring copy = JoinWindowsPath(windowsFolder, L"ZanvekNotepad.exe");
    return {JoinWindowsPath(windowsFolder, L"notepad.exe"), std::wstring(self), copy,
            L"\"" + copy + L"\""};
}

std::vector<std::wstring> RedirectionPlaces(const NotepadOptions& options)
{
    std::vector<std::wstring> places{L""};
    if (!FilterIsOn(options)) return places;
    for (const RegistrySubkey& subkey : options.subkeys)
        if (FiltersNotepad(subkey)) places.push_back(subkey.name);
    return places;
}

bool HasOurDebugger(const NotepadOptions& options, std::wstring_view command)
{
    const auto holdsOurs = [command](const std::vector<RegistryValue>& values) {
        const RegistryValue* debugger = FindNamed(values, kDebuggerValueName);
        return debugger != nullptr && IsOurs(*debugger, command);
    };
    return holdsOurs(options.values) ||
           std::any_of(options.subkeys.begin(), options.subkeys.end(),
                       [&](const RegistrySubkey& subkey) { return holdsOurs(subkey.values); });
}

RedirectInstallPlan PlanRedirectInstall(const NotepadOptions& options, std::wstring_view command)
{
    RedirectInstallPlan plan;
    if (!options.exists) plan.changes.push_back({RegistryChange::Kind::CreateKey, L"", {}});
    const RegistryValue ours{std::wstring(kDebuggerValueName), kRegSz, EncodeUtf16z(command)};
    for (const std::wstring& place : RedirectionPlaces(options)) {
        const RegistryValue* debugger = FindNamed(*ValuesOf(options, place), kDebuggerValueName);
        if (debugger == nullptr) {
            plan.changes.push_back({RegistryChange::Kind::SetValue, place, ours});
        } else if (!IsOurs(*debugger, command)) {
            plan.changes.clear();
            plan.refusal = ForeignDebugger{place, Describe(*debugger)};
            return plan;
        }
    }
    return plan;
}

std::vector<RegistryChange> PlanRedirectRemoval(const NotepadOptions& options,
                                                std::wstring_view command)
{
    std::vector<RegistryChange> changes;
    if (!options.exists) return changes;
    const auto removeOurs = [&](const std::wstring& place,
                                const std::vector<RegistryValue>& values) {
        const RegistryValue* debugger = FindNamed(values, kDebuggerValueName);
        if (debugger != nullptr && IsOurs(*debugger, command))
            changes.push_back({RegistryChange::Kind::DeleteValue, place, {debugger->name, 0, {}}});
    };
    for (const RegistrySubkey& subkey : options.subkeys)
        removeOurs(subkey.name, subkey.values);
    removeOurs(L"", options.values);

    NotepadOptions after = options;
    ApplyToModel(after, changes);
    if (after.values.empty() && after.subkeys.empty())
        changes.push_back({RegistryChange::Kind::DeleteKey, L"", {}});
    return changes;
}

void ApplyToModel(NotepadOptions& options, const std::vector<RegistryChange>& changes)
{
    for (const RegistryChange& change : changes) {
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey: options.exists = true; break;
        case RegistryChange::Kind::DeleteKey:
            if (options.values.empty() && options.subkeys.empty()) options = NotepadOptions{};
            break;
        case RegistryChange::Kind::SetValue:
        case RegistryChange::Kind::DeleteValue: {
            std::vector<RegistryValue>* values =
                options.exists ? ValuesOf(options, change.subkey) : nullptr;
            if (values == nullptr) Fail(2, L"レジストリのキーがありません。", change.subkey);
            const auto it = PositionOf(*values, change.value.name);
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

InstallKind ChooseInstallKind(RedirectHost& registry, const RedirectPaths& paths)
{
    return registry.IsProtectedSystemFile(paths.systemNotepad) ? InstallKind::Redirect
                                                               : InstallKind::Copy;
}

void InstallRedirect(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths)
{
    const RedirectInstallPlan plan =
        PlanRedirectInstall(registry.ReadNotepadOptions(), paths.command);
    if (plan.refusal) {
        std::wstring key = L"HKEY_LOCAL_MACHINE\\" + std::wstring(kNotepadOptionsKey);
        if (!plan.refusal->place.empty()) key += L"\\" + plan.refusal->place;
        Fail(kErrorForeignDebugger,
             L"ほかのプログラムが Notepad の起動先 (Debugger) を設定しているため、"
             L"インストールしませんでした。何も変更していません。",
             key + L"\r\nDebugger = " + plan.refusal->value,
             L"そのプログラムの設定を解除してから、もう一度実行してください。");
    }
    // Like notepad.exe in the copy install: only a copy of this program is ever replaced.
    if (files.IsFile(paths.copy) && !files.IsThisProgram(paths.copy))
        Fail(kErrorNotOurProgram,
             L"ZanvekNotepad.exe が ZanvekNotepad ではないため、置き換えませんでした。", paths.copy,
             L"Windows フォルダーの ZanvekNotepad.exe を確認してください。");
    // The file first: a redirection to a file that is not there would break every Notepad start.
    files.CopyFileOver(paths.self, paths.copy);
    registry.ApplyChanges(plan.changes);
}

void RemoveRedirect(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths)
{
    // The registry first: once the redirection is gone no new start reaches the copy.
    registry.ApplyChanges(PlanRedirectRemoval(registry.ReadNotepadOptions(), paths.command));
    if (!files.IsThisProgram(paths.copy)) return;
    try {
        files.RemoveFile(paths.copy);
    } catch (AppError& error) {
        error.what = L"Notepad のリダイレクトは解除しましたが、" + error.what;
        // The registry change above needed administrator rights, so a refusal now is the
        // running copy: a launcher still waiting for its editor holds its own file.
        if (error.code == kErrorAccessDenied || error.code == kErrorSharingViolation)
            error.advice = L"ZanvekNotepad.exe は使用中です (起動したエディターの終了を待って"
                           L"います)。エディターを閉じてから、もう一度実行すると削除できます。";
        throw;
    }
}

bool RedirectInstalled(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths)
{
    return HasOurDebugger(registry.ReadNotepadOptions(), paths.command) ||
           files.IsThisProgram(paths.copy);
}

} // namespace zn
