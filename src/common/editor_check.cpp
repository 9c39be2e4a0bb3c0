#include "common/editor_check.h"

#include "common/file_names.h"
#include "common/full_path.h"
#include "common/pe_image.h"
#include "setup/version_resource.h"

namespace zn {

EditorVerdict JudgeEditorPath(std::wstring_view path, bool redirected)
{
    if (!IsFullPath(path)) return EditorVerdict::NotFullPath;
    if (redirected && IsNotepadExe(AsOpened(FileNamePart(path)))) return EditorVerdict::LoopsBack;
    return EditorVerdict::Ok;
}

EditorVerdict JudgeEditor(std::wstring_view path, const EditorFile& file, bool redirected)
{
    if (const EditorVerdict verdict = JudgeEditorPath(path, redirected);
        verdict != EditorVerdict::Ok)
        return verdict;
    switch (file.probe) {
    case EditorProbe::NoSuchFile: return EditorVerdict::NoSuchFile;
    case EditorProbe::Folder: return EditorVerdict::Folder;
    case EditorProbe::AppAlias:
    case EditorProbe::File: break;
    }
    if (NamesThisProgram(file.versionInfo)) return EditorVerdict::ThisProgram;
    if (IsCommandScriptName(path)) return EditorVerdict::CommandScript;
    if (file.probe == EditorProbe::AppAlias) return EditorVerdict::Ok;
    return IsProgramImage(file.head) ? EditorVerdict::Ok : EditorVerdict::NotAProgram;
}

std::wstring_view Unquoted(std::wstring_view text)
{
    if (text.size() < 2 || text.front() != L'"' || text.back() != L'"') return text;
    const std::wstring_view inside = text.substr(1, text.size() - 2);
    return inside.find(L'"') == std::wstring_view::npos ? inside : text;
}

std::optional<EditorProbe> ProbeOfUnopened(const UnopenedPath& answers)
{
    if (answers.openError == kErrorCantAccessFile) {
        if (answers.reparseTag == kReparseTagAppExecLink) return EditorProbe::AppAlias;
        return std::nullopt;
    }
    if (!answers.attributes) return EditorProbe::NoSuchFile;
    if ((*answers.attributes & kAttributeDirectory) != 0) return EditorProbe::Folder;
    return std::nullopt;
}

} // namespace zn
