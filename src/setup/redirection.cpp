#include "setup/redirection.h"

#include "common/app_error.h"
#include "common/decimal.h"
#include "common/little_endian.h"
#include "resources/names.h"
#include "settings/registry_codec.h"
#include "setup/default_app.h"
#include "setup/program_copy.h"

#include <utility>

namespace zn {
namespace {

using Kind = RegistryChange::Kind;

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;

constexpr std::wstring_view kFilterSwitch = L"UseFilter";
constexpr std::wstring_view kFilterPath = L"FilterFullPath";

bool IsOurs(const RegistryValue& debugger, std::wstring_view command)
{
    return debugger.type == kRegSz && SameIgnoringCase(TextOf(debugger), command);
}

bool HoldsOurs(const std::vector<RegistryValue>& values, std::wstring_view command)
{
    const RegistryValue* debugger = FindValue(values, kDebuggerValueName);
    return debugger != nullptr && IsOurs(*debugger, command);
}

// How a foreign Debugger is shown to the user.
std::wstring Describe(const RegistryValue& value)
{
    if (!IsText(value))
        return L"(種類 " + ToDecimal(value.type) + L" の値、" +
               ToDecimal(static_cast<std::int64_t>(value.bytes.size())) + L" バイト)";
    const std::wstring text = TextOf(value);
    return text.empty() ? L"(空の値)" : text;
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
    const std::wstring text = TextOf(*path);
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

// What the redirect install writes, from what is there now: the Debugger values and the
// default-app registration; raises the first refusal.
std::vector<RegistryChange> PlanMachineInstall(RedirectHost& system, const RedirectPaths& paths)
{
    const RedirectInstallPlan redirect =
        PlanRedirectInstall(ReadNotepadOptions(system), paths.command);
    if (redirect.refusal) {
        Fail(kErrorForeignDebugger,
             L"ほかのプログラムが Notepad の起動先 (Debugger) を設定しているため、"
             L"インストールしませんでした。何も変更していません。",
             system.ShownPath(NotepadOptionsKeyOf(redirect.refusal->place)) + L"\r\nDebugger = " +
                 redirect.refusal->value,
             L"そのプログラムの設定を解除してから、もう一度実行してください。");
    }
    const DefaultAppPlan registration =
        PlanDefaultAppInstall(ReadSnapshot(system, DefaultAppKeys()), paths.copy);
    if (registration.refusal) {
        Fail(kErrorForeignRegistration,
             L"ほかのプログラムが同じ名前で登録しているため、インストールしませんでした。"
             L"何も変更していません。",
             system.ShownPath(registration.refusal->key) + L"\r\n" + registration.refusal->value,
             L"その登録を確認してから、もう一度実行してください。");
    }
    std::vector<RegistryChange> changes = redirect.changes;
    changes.insert(changes.end(), registration.changes.begin(), registration.changes.end());
    return changes;
}

// The files of one redirect install, undone in reverse should a later step fail: the fresh copy
// written, the earlier copy put aside, the fresh one put in its place.
class CopyPlacement {
public:
    CopyPlacement(SetupHost& files, const RedirectPaths& paths) : m_files(files), m_paths(paths) {}
    CopyPlacement(const CopyPlacement&) = delete;
    CopyPlacement& operator=(const CopyPlacement&) = delete;
    ~CopyPlacement()
    {
        if (m_done) return;
        // Back to where the run began. Whatever cannot be undone here keeps its temporary name,
        // which a later run deletes.
        if (m_placed) {
            try {
                m_files.MoveFileExclusive(m_paths.copy, m_fresh);
            } catch (...) {
                return; // the fresh copy stays in place: better than no copy at all
            }
        }
        if (!m_aside.empty()) {
            try {
                m_files.MoveFileExclusive(m_aside, m_paths.copy);
            } catch (...) {
            }
        }
        if (!m_fresh.empty()) RemoveQuietly(m_files, m_fresh);
    }

    void WriteFresh() { m_fresh = WriteFreshCopy(m_files, m_paths.folder); }

    // A running earlier copy (a launcher waiting for its editor) can be renamed, not replaced.
    void Place()
    {
        try {
            if (m_files.IsFile(m_paths.copy)) {
                const std::wstring aside = m_files.TemporaryPath(m_paths.folder);
                m_files.MoveFileExclusive(m_paths.copy, aside);
                m_aside = aside;
            }
            m_files.MoveFileExclusive(m_fresh, m_paths.copy);
        } catch (AppError& error) {
            error.path = m_paths.copy; // temporary names mean nothing to the user
            throw;
        }
        m_placed = true;
    }

    void Keep() noexcept
    {
        m_done = true;
        if (!m_aside.empty()) RemoveQuietly(m_files, m_aside);
    }

private:
    SetupHost& m_files;
    const RedirectPaths& m_paths;
    std::wstring m_fresh;
    std::wstring m_aside;
    bool m_placed = false;
    bool m_done = false;
};

} // namespace

std::wstring NotepadOptionsKeyOf(std::wstring_view place)
{
    return JoinKey(kNotepadOptionsKey, place);
}

RedirectPaths MakeRedirectPaths(std::wstring_view windowsFolder)
{
    const std::wstring copy = JoinWindowsPath(windowsFolder, ZN_WIDE(ZN_ORIGINAL_FILENAME));
    return {std::wstring(windowsFolder), JoinWindowsPath(windowsFolder, L"notepad.exe"), copy,
            L"\"" + copy + L"\""};
}

NotepadOptions ReadNotepadOptions(RegistryStore& store)
{
    const std::wstring key(kNotepadOptionsKey);
    RegistryKey read = store.ReadKey(key);
    NotepadOptions options{read.exists, std::move(read.values), {}};
    for (const std::wstring& name : read.subkeys)
        options.subkeys.push_back({name, store.ReadKey(JoinKey(key, name)).values});
    return options;
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
    if (!options.exists)
        plan.changes.push_back({Kind::CreateKey, std::wstring(kNotepadOptionsKey), {}});
    const RegistryValue ours{std::wstring(kDebuggerValueName), kRegSz, EncodeUtf16z(command)};
    ForEachPlace(options, [&](std::wstring_view place, const std::vector<RegistryValue>& values) {
        const RegistryValue* debugger = FindValue(values, kDebuggerValueName);
        if (debugger == nullptr)
            plan.changes.push_back({Kind::SetValue, NotepadOptionsKeyOf(place), ours});
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
            changes.push_back({Kind::DeleteValue,
                               NotepadOptionsKeyOf(subkey.name),
                               {FindValue(subkey.values, kDebuggerValueName)->name, 0, {}}});
    std::size_t valuesLeft = options.values.size();
    if (HoldsOurs(options.values, command)) {
        changes.push_back({Kind::DeleteValue,
                           std::wstring(kNotepadOptionsKey),
                           {FindValue(options.values, kDebuggerValueName)->name, 0, {}}});
        --valuesLeft;
    }
    if (valuesLeft == 0 && options.subkeys.empty())
        changes.push_back({Kind::DeleteKey, std::wstring(kNotepadOptionsKey), {}});
    return changes;
}

InstallKind ChooseInstallKind(RedirectHost& system, const RedirectPaths& paths)
{
    return system.IsProtectedSystemFile(paths.systemNotepad) ? InstallKind::Redirect
                                                             : InstallKind::Copy;
}

void InstallRedirect(SetupHost& files, RedirectHost& system, const RedirectPaths& paths)
{
    const std::vector<RegistryChange> changes = PlanMachineInstall(system, paths);
    // Like notepad.exe in the copy install: only a copy of this program is ever replaced.
    const FileKind copy = files.Inspect(paths.copy);
    if (copy != FileKind::None && copy != FileKind::ThisProgram)
        Fail(kErrorNotOurProgram,
             L"ZanvekNotepad.exe が ZanvekNotepad ではないため、置き換えませんでした。", paths.copy,
             L"Windows フォルダーの ZanvekNotepad.exe を確認してください。");
    // Windows refuses to replace a read-only file; set-up holds to that even where the file
    // could be renamed aside.
    if (files.IsReadOnly(paths.copy))
        Fail(kErrorAccessDenied, L"ファイルを置き換えられませんでした。", paths.copy,
             std::wstring(kClearReadOnlyAdvice));

    CopyPlacement placement(files, paths);
    placement.WriteFresh();
    // Every refusal before the first change the user could see.
    system.CheckWritable(changes);
    // The file first: a redirection to a file that is not there would break every Notepad start.
    placement.Place();
    ApplyAllOrNothing(system, changes);
    placement.Keep();
    system.NotifyAssociationsChanged();
}

void RemoveRedirect(SetupHost& files, RedirectHost& system, const RedirectPaths& paths)
{
    // The registry first: once the redirection is gone no new start reaches the copy.
    std::vector<RegistryChange> changes =
        PlanRedirectRemoval(ReadNotepadOptions(system), paths.command);
    const std::vector<RegistryChange> registration =
        PlanDefaultAppRemoval(ReadSnapshot(system, DefaultAppKeys()), paths.copy);
    changes.insert(changes.end(), registration.begin(), registration.end());
    system.CheckWritable(changes);
    ApplyAllOrNothing(system, changes);
    if (!registration.empty()) system.NotifyAssociationsChanged();

    try {
        if (files.Inspect(paths.copy) != FileKind::ThisProgram) return;
    } catch (AppError& error) {
        // A copy held by a program that lets nobody read it: the report says what was done.
        error.what = L"Notepad のリダイレクトは解除しましたが、" + error.what;
        throw;
    }
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

bool RedirectInstalled(SetupHost& files, RedirectHost& system, const RedirectPaths& paths)
{
    return HasOurDebugger(ReadNotepadOptions(system), paths.command) ||
           HasOurRegistration(ReadSnapshot(system, DefaultAppKeys()), paths.copy) ||
           files.Inspect(paths.copy) == FileKind::ThisProgram;
}

bool RestoreCopySetAside(SetupHost& files, RedirectHost& system,
                         const RedirectPaths& paths) noexcept
{
    try {
        if (files.IsFile(paths.copy) ||
            (!HasOurDebugger(ReadNotepadOptions(system), paths.command) &&
             !HasOurRegistration(ReadSnapshot(system, DefaultAppKeys()), paths.copy)))
            return true;
        for (const std::wstring& path : files.TemporaryFiles(paths.folder)) {
            FileKind kind = FileKind::None;
            try {
                kind = files.Inspect(path);
            } catch (...) {
                continue; // what cannot be read is no copy to start
            }
            if (kind != FileKind::ThisProgram) continue;
            files.MoveFileExclusive(path, paths.copy);
            return true;
        }
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace zn
