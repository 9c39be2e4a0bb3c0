#include "setup/redirection.h"

#include "common/app_error.h"
#include "common/decimal.h"
#include "common/little_endian.h"
#include "settings/registry_codec.h"

#include <algorithm>

namespace zn {

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    const auto fold = [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

namespace {

constexpr std::uint32_t kRegExpandSz = 2; // REG_EXPAND_SZ
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;

constexpr std::wstring_view kFilterSwitch = L"UseFilter";
constexpr std::wstring_view kFilterPath = L"FilterFullPath";

const RegistryValue* FindValue(const std::vector<RegistryValue>& values, std::wstring_view name)
{
    for (const RegistryValue& value : values)
        if (SameIgnoringCase(value.name, name)) return &value;
    return nullptr;
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

bool HoldsOurs(const std::vector<RegistryValue>& values, std::wstring_view command)
{
    const RegistryValue* debugger = FindValue(values, kDebuggerValueName);
    return debugger != nullptr && IsOurs(*debugger, command);
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
    const RegistryValue* useFilter = FindValue(options.values, kFilterSwitch);
    if (useFilter == nullptr || useFilter->type != kRegDword) return false;
    const std::optional<std::uint32_t> on = ReadU32(useFilter->bytes, 0);
    return on && *on != 0;
}

bool FiltersNotepad(const RegistrySubkey& subkey)
{
    const RegistryValue* path = FindValue(subkey.values, kFilterPath);
    if (path == nullptr || !IsText(*path)) return false;
    const std::wstring text = Text(*path);
    const std::size_t slash = text.rfind(L'\\');
    return SameIgnoringCase(slash == std::wstring::npos ? std::wstring_view(text)
                                                        : std::wstring_view(text).substr(slash + 1),
                            L"notepad.exe");
}

// Calls visit(place, values) for each place of the redirection: "" (the key itself, also when
// it is missing) first, then the filter subkeys that apply.
template <class Visit> void ForEachPlace(const NotepadOptions& options, Visit visit)
{
    visit(std::wstring_view(), options.values);
    if (!FilterIsOn(options)) return;
    for (const RegistrySubkey& subkey : options.subkeys)
        if (FiltersNotepad(subkey)) visit(std::wstring_view(subkey.name), subkey.values);
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

bool HasOurDebugger(const NotepadOptions& options, std::wstring_view command)
{
    if (HoldsOurs(options.values, command)) return true;
    for (const RegistrySubkey& subkey : options.subkeys)
        if (HoldsOurs(subkey.values, command)) return true;
    return false;
}

RedirectInstallPlan PlanRedirectInstall(const NotepadOptions& options, std::wstring_view command)
{
    RedirectInstallPlan plan;
    if (!options.exists) plan.changes.push_back({RegistryChange::Kind::CreateKey, L"", {}});
    const RegistryValue ours{std::wstring(kDebuggerValueName), kRegSz, EncodeUtf16z(command)};
    ForEachPlace(options, [&](std::wstring_view place, const std::vector<RegistryValue>& values) {
        const RegistryValue* debugger = FindValue(values, kDebuggerValueName);
        if (debugger == nullptr)
            plan.changes.push_back({RegistryChange::Kind::SetValue, std::wstring(place), ours});
        else if (!plan.refusal && !IsOurs(*debugger, command))
            plan.refusal = ForeignDebugger{std::wstring(place), Describe(*debugger)};
    });
    if (plan.refusal) plan.changes.clear();
    return plan;
}

std::vector<RegistryChange> PlanRedirectRemoval(const NotepadOptions& options,
                                                std::wstring_view command)
{
    std::vector<RegistryChange> changes;
    if (!options.exists) return changes;
    for (const RegistrySubkey& subkey : options.subkeys)
        if (HoldsOurs(subkey.values, command))
            changes.push_back({RegistryChange::Kind::DeleteValue,
                               subkey.name,
                               {FindValue(subkey.values, kDebuggerValueName)->name, 0, {}}});
    std::size_t valuesLeft = options.values.size();
    if (HoldsOurs(options.values, command)) {
        changes.push_back({RegistryChange::Kind::DeleteValue,
                           L"",
                           {FindValue(options.values, kDebuggerValueName)->name, 0, {}}});
        --valuesLeft;
    }
    if (valuesLeft == 0 && options.subkeys.empty())
        changes.push_back({RegistryChange::Kind::DeleteKey, L"", {}});
    return changes;
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
    const FileKind copy = files.Inspect(paths.copy);
    if (copy != FileKind::None && copy != FileKind::ThisProgram)
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
    const std::vector<RegistryChange> changes =
        PlanRedirectRemoval(registry.ReadNotepadOptions(), paths.command);
    registry.ApplyChanges(changes);
    if (files.Inspect(paths.copy) != FileKind::ThisProgram) return;
    try {
        files.RemoveFile(paths.copy);
    } catch (AppError& error) {
        error.what = L"Notepad のリダイレクトは解除しましたが、" + error.what;
        // A read-only copy (copied so from a read-only set-up) keeps the advice that fits it.
        const bool readOnly = error.advice == kClearReadOnlyAdvice;
        if (!readOnly &&
            (error.code == kErrorAccessDenied || error.code == kErrorSharingViolation)) {
            // A launcher started from the copy holds it while it waits for its editor. After a
            // change to the system's key the run has administrator rights, and that is the
            // only reason left; otherwise the advice about rights stays as well.
            std::wstring advice = L"起動中の ZanvekNotepad.exe (エディターの終了を待っています) "
                                  L"は削除できません。エディターを閉じてから、もう一度実行して"
                                  L"ください。";
            if (changes.empty() && !error.advice.empty()) advice += L"\r\n" + error.advice;
            error.advice = std::move(advice);
        }
        throw;
    }
}

bool RedirectInstalled(SetupHost& files, RedirectHost& registry, const RedirectPaths& paths)
{
    return HasOurDebugger(registry.ReadNotepadOptions(), paths.command) ||
           files.Inspect(paths.copy) == FileKind::ThisProgram;
}

} // namespace zn
