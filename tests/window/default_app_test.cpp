#include "window/default_app.h"

#include "common/app_error.h"
#include "common/error_code_of.h"

#include <gtest/gtest.h>

#include <vector>

namespace zn {
namespace {

// Answers as a 64-bit Windows 11 (23H2) whose Windows folder the system spells C:\WINDOWS.
class FakeDefaultAppHost : public DefaultAppHost {
public:
    TextFileApp app{L"C:\\Program Files\\WindowsApps\\Microsoft.WindowsNotepad_11.2311.35.0_x64__"
                    L"8wekyb3d8bbwe\\Notepad\\Notepad.exe",
                    L"メモ帳"};
    std::wstring systemWow64Folder = L"C:\\WINDOWS\\SysWOW64";
    WindowsVersion version{22631, 2861};
    bool answer = true;
    bool openFails = false;

    std::vector<std::wstring> questions, opened;

    TextFileApp TextFileOpener() override { return app; }
    std::wstring WindowsFolder() override { return L"C:\\WINDOWS"; }
    std::wstring SystemFolder() override { return L"C:\\WINDOWS\\system32"; }
    std::wstring SystemWow64Folder() override { return systemWow64Folder; }
    bool SamePath(std::wstring_view a, std::wstring_view b) override
    {
        const auto lower = [](wchar_t c) {
            return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        };
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (lower(a[i]) != lower(b[i])) return false;
        }
        return true;
    }
    WindowsVersion Version() override { return version; }
    bool AskYesNo(const std::wstring& text) override
    {
        questions.push_back(text);
        return answer;
    }
    void OpenLink(const std::wstring& link) override
    {
        opened.push_back(link);
        if (openFails) Fail(2, L"設定のページを開けませんでした。", link);
    }
};

const std::wstring kOwnPage = L"ms-settings:defaultapps?registeredAppMachine=ZanvekNotepad";

TEST(DefaultApp, AsksOnlyWhenTextFilesOpenWhereTheRedirectionCannotReach)
{
    const struct {
        const char* why;
        std::optional<std::wstring> program; // nullopt: the lookup failed
        bool asks;
        std::wstring systemWow64Folder = L"C:\\WINDOWS\\SysWOW64";
    } rows[] = {
        {"the system folder's Notepad, as Windows 10 has it", L"C:\\Windows\\System32\\NOTEPAD.EXE",
         false},
        {"the Windows folder's Notepad", L"c:\\windows\\notepad.exe", false},
        {"the 32-bit system folder's Notepad", L"C:\\Windows\\SysWOW64\\notepad.exe", false},
        {"the launcher, chosen by the user", L"C:\\WINDOWS\\ZanvekNotepad.exe", false},
        {"the packaged Notepad, also named Notepad.exe",
         L"C:\\Program Files\\WindowsApps\\Microsoft.WindowsNotepad_11\\Notepad\\Notepad.exe",
         true},
        {"a lookup that failed is not ours", std::nullopt, true},
        {"another app", L"C:\\Program Files\\Other\\other.exe", true},
        {"a notepad.exe in another folder", L"C:\\Tools\\notepad.exe", true},
        {"a copy of the launcher elsewhere", L"C:\\Tools\\ZanvekNotepad.exe", true},
        {"a name that only begins like Notepad", L"C:\\Windows\\System32\\notepad.exe.bak", true},
        {"no 32-bit system folder: no Notepad there", L"\\notepad.exe", true, L""},
    };
    for (const auto& row : rows) {
        FakeDefaultAppHost host;
        host.app.program = row.program;
        host.systemWow64Folder = row.systemWow64Folder;
        OfferDefaultAppChoice(host);
        EXPECT_EQ(host.questions.size(), row.asks ? 1u : 0u) << row.why;
        EXPECT_EQ(host.opened,
                  row.asks ? std::vector<std::wstring>{kOwnPage} : std::vector<std::wstring>{})
            << row.why;
    }
}

TEST(DefaultApp, TheLinkIsTheProgramsOwnPageOnlyWhereItIsDocumented)
{
    const std::wstring list = L"ms-settings:defaultapps";
    const struct {
        WindowsVersion version;
        std::wstring link;
    } rows[] = {
        {{22631, 0}, kOwnPage},    // 23H2
        {{26100, 1}, kOwnPage},    // 24H2 and later
        {{22621, 1555}, kOwnPage}, // 22H2 with the April 2023 update
        {{22621, 1554}, list},
        {{22000, 1817}, kOwnPage}, // 21H2 with the April 2023 update
        {{22000, 1816}, list},
        {{22630, 9999}, list}, // no such release: only those named document the link
        {{22622, 9999}, list},
        {{19045, 5000}, list}, // Windows 10
        {{7601, 0}, list},     // what Wine reports by default
        {{0, 0}, list},        // the version could not be read
    };
    for (const auto& row : rows) {
        FakeDefaultAppHost host;
        host.version = row.version;
        OfferDefaultAppChoice(host);
        EXPECT_EQ(host.opened, std::vector<std::wstring>{row.link})
            << row.version.build << "." << row.version.revision;
    }
}

TEST(DefaultApp, NoChangesNothingAndAPageThatCannotBeOpenedIsRaised)
{
    FakeDefaultAppHost declining;
    declining.answer = false;
    OfferDefaultAppChoice(declining);
    EXPECT_EQ(declining.questions.size(), 1u);
    EXPECT_TRUE(declining.opened.empty());

    FakeDefaultAppHost failing;
    failing.openFails = true;
    EXPECT_EQ(ErrorCodeOf([&] { OfferDefaultAppChoice(failing); }), 2u);
}

TEST(DefaultApp, TheQuestionNamesTheAppThatOpensTextFilesNow)
{
    const struct {
        TextFileApp app;
        std::wstring named;
    } rows[] = {
        {{L"C:\\Apps\\Notepad.exe", L"メモ帳"}, L"「メモ帳」"},
        {{L"C:\\Apps\\other.exe", L""}, L"「other.exe」"}, // no name for the user: the file's
        {{std::nullopt, L""}, L"「別のアプリ」"},
    };
    for (const auto& row : rows) {
        const std::wstring question = DefaultAppQuestion(row.app);
        EXPECT_NE(question.find(row.named), std::wstring::npos) << question;
    }
    EXPECT_EQ(DefaultAppQuestion({L"C:\\Apps\\Notepad.exe", L"メモ帳"}),
              L"テキスト ファイルをダブルクリックしたときは、今も「メモ帳」で開きます。\r\n"
              L"これを変えられるのは、Windows ではユーザーご自身だけです。\r\n\r\n"
              L"「ZanvekNotepad」を選べる設定のページ (既定のアプリ) を開きますか？");
}

} // namespace
} // namespace zn
