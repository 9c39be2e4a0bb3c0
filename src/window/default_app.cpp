#include "window/default_app.h"

#include "window/registration_texts.h"

namespace zn {
namespace {

// The first update revision of a build that documents the program's own page.
struct LinkFrom {
    std::uint32_t build, revision;
};
constexpr LinkFrom kOwnPageFrom[] = {{22000, 1817}, {22621, 1555}};
constexpr std::uint32_t kOwnPageFromBuild = 22631; // and every later build

} // namespace

std::wstring_view DefaultAppsLink(const WindowsVersion& version)
{
    if (version.build >= kOwnPageFromBuild) return kOwnDefaultAppsPage;
    for (const LinkFrom& from : kOwnPageFrom) {
        if (version.build == from.build && version.revision >= from.revision)
            return kOwnDefaultAppsPage;
    }
    return kDefaultAppsPage;
}

bool RedirectionReaches(std::wstring_view program, DefaultAppHost& host)
{
    const std::wstring windows = host.WindowsFolder();
    const std::wstring wow64 = host.SystemWow64Folder();
    const std::wstring reached[] = {
        windows + L"\\" + ZN_WIDE(ZN_ORIGINAL_FILENAME),
        windows + L"\\notepad.exe",
        host.SystemFolder() + L"\\notepad.exe",
        wow64.empty() ? std::wstring() : wow64 + L"\\notepad.exe",
    };
    for (const std::wstring& path : reached) {
        if (!path.empty() && host.SamePath(program, path)) return true;
    }
    return false;
}

std::wstring DefaultAppQuestion(const TextFileApp& app)
{
    std::wstring name = app.name;
    if (name.empty() && app.program) name = FileNameOf(*app.program);
    if (name.empty()) name = L"別のアプリ";
    return L"テキスト ファイルをダブルクリックしたときは、今も「" + name +
           L"」で開きます。\r\n"
           L"これを変えられるのは、Windows ではユーザーご自身だけです。\r\n\r\n"
           L"「ZanvekNotepad」を選べる設定のページ (既定のアプリ) を開きますか？";
}

void OfferDefaultAppChoice(DefaultAppHost& host)
{
    // A lookup that fails (as it may for a packaged app's association) is not ours.
    const TextFileApp app = host.TextFileOpener();
    if (app.program && RedirectionReaches(*app.program, host)) return;
    if (!host.AskYesNo(DefaultAppQuestion(app))) return;
    host.OpenLink(std::wstring(DefaultAppsLink(host.Version())));
}

} // namespace zn
