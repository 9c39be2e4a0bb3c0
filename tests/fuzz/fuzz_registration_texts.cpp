// The registration window's rules on a dropped or typed path: the executable test, the file
// name, the messages built from them, and what Yes stores. The input is the path, as UTF-16LE
// units.
#include "fuzz_support.h"

#include "common/full_path.h"
#include "window/registration_dialog.h"
#include "window/registration_texts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zn {
namespace {

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EndsInExeAnyCase(std::wstring_view text)
{
    if (text.size() < 3) return false;
    std::wstring last(text.substr(text.size() - 3));
    for (wchar_t& c : last)
        c = AsciiLower(c);
    return last == L"exe";
}

void CheckFileName(std::wstring_view path, std::wstring_view name)
{
    // The end of the path itself, holding no backslash, and cut just after one when it is not
    // the whole path.
    ZN_CHECK(name.size() <= path.size());
    ZN_CHECK(name.data() == path.data() + (path.size() - name.size()));
    ZN_CHECK(name.find(L'\\') == std::wstring_view::npos);
    ZN_CHECK(name.size() == path.size() || path[path.size() - name.size() - 1] == L'\\');
}

void CheckMessages(std::wstring_view path, std::wstring_view name)
{
    // The messages name the file, never its folders: none of their own words holds a
    // backslash, so neither may they.
    const std::wstring question = DropQuestion(path);
    ZN_CHECK(question.find(L'\\') == std::wstring::npos);
    ZN_CHECK(question.starts_with(name) && question.ends_with(kQuestionSuffix));

    const std::wstring copy = ConfirmationMessage(path, InstallKind::Copy);
    const std::wstring redirect = ConfirmationMessage(path, InstallKind::Redirect);
    for (const std::wstring* message : {&copy, &redirect}) {
        ZN_CHECK(message->find(L'\\') == std::wstring::npos);
        // The name sits right after the head, and taking it out leaves what an empty name gives:
        // nothing else of the path leaks in.
        ZN_CHECK(message->starts_with(kConfirmationHead));
        ZN_CHECK(message->compare(kConfirmationHead.size(), name.size(), name) == 0);
        std::wstring without = *message;
        without.erase(kConfirmationHead.size(), name.size());
        const InstallKind kind = message == &copy ? InstallKind::Copy : InstallKind::Redirect;
        ZN_CHECK(without == ConfirmationMessage(L"", kind));
    }
    // The two kinds differ only in the note after the last line break (no note holds one).
    const std::size_t copyBreak = copy.rfind(L"\r\n");
    ZN_CHECK(copyBreak != std::wstring::npos && copyBreak == redirect.rfind(L"\r\n"));
    ZN_CHECK(copy.compare(0, copyBreak, redirect, 0, copyBreak) == 0);
    ZN_CHECK(copy.substr(copyBreak) != redirect.substr(copyBreak));
}

// A host for which every path names a program of some other maker; it records what it stores.
struct ProgramsOnly final : RegistrationHost {
    bool storeFails = false;
    std::vector<std::wstring> stored;
    ProbedPath Probe(const std::wstring&) override
    {
        return {{EditorProbe::AppAlias, {}, {}}, std::nullopt};
    }
    std::optional<std::wstring> Store(const std::wstring& path) override
    {
        stored.push_back(path);
        if (storeFails) return std::wstring(L"理由: 不明 (エラー 5)");
        return std::nullopt;
    }
};

// Yes with the path typed into the text box: only the text without its quotes reaches the
// store, and only when the launcher's checks would start it; whatever was not stored says so
// and leaves Yes for another try.
void CheckYes(const std::wstring& path)
{
    for (const InstallKind kind : {InstallKind::Copy, InstallKind::Redirect}) {
        for (const bool storeFails : {false, true}) {
            RegistrationDialog dialog(kind);
            dialog.Load();
            std::wstring text1;
            ProgramsOnly host;
            dialog.Drop(text1, 7, std::vector<std::wstring>{L"C:\\ed.exe"}, host);
            host.storeFails = storeFails;
            dialog.Yes(path, host);
            const std::wstring_view unquoted = Unquoted(path);
            const bool startable = JudgeEditor(unquoted, host.Probe(path).file,
                                               kind == InstallKind::Redirect) == EditorVerdict::Ok;
            ZN_CHECK(host.stored.size() == (startable ? 1u : 0u));
            ZN_CHECK(host.stored.empty() ||
                     (host.stored.front() == unquoted && IsFullPath(host.stored.front())));
            const bool registered = startable && !storeFails;
            ZN_CHECK(dialog.View().yesVisible == !registered);
            ZN_CHECK(dialog.View().label2.starts_with(kStoreFailedMessage) == !registered);
        }
    }
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    const std::wstring path = fuzz::Reader(data, size).RestText();
    const bool passes = PassesExecutableTest(path);
    ZN_CHECK(passes == EndsInExeAnyCase(path));

    const std::wstring_view name = FileNameOf(path);
    CheckFileName(path, name);
    // "exe" holds no backslash, so the file name passes exactly when the whole path does.
    ZN_CHECK(PassesExecutableTest(name) == passes);
    CheckMessages(path, name);
    CheckYes(path);
    return 0;
}
