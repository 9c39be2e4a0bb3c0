#include "window/registration_dialog.h"

#include "common/pe_image_builder.h"
#include "window/registration_texts.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

const TwipsRect kNoAtCreation{3660, 1260, 855, 435};
const TwipsRect kNoRegistered{3660, 1410, 855, 285};
using Files = std::optional<std::vector<std::wstring>>;

// What a probe may find at a path.
EditorFile Program()
{
    return {EditorProbe::File, testing::PeImage({}), {}};
}
EditorFile ThisProgram() // a copy of any version, under any name
{
    return {EditorProbe::File, testing::PeImage({}),
            testing::VersionInfo(
                {{L"041104B0",
                  {{L"InternalName", L"ZanvekNotepad"}, {L"ProductName", L"ZanvekNotepad"}}}})};
}
EditorFile Text()
{
    return {EditorProbe::File, {'n', 'o', 't', 'e', 's'}, {}};
}
EditorFile Nothing()
{
    return {EditorProbe::NoSuchFile, {}, {}};
}
EditorFile AFolder()
{
    return {EditorProbe::Folder, {}, {}};
}

// The system as the dialogue sees it: records the paths it is asked about, and answers as its
// fields say.
struct FakeHost final : RegistrationHost {
    EditorFile file = Program();            // what the probe finds at every path
    std::optional<std::wstring> unreadable; // or why it cannot read what is there
    std::optional<std::wstring> failure;    // the store's answer; nullopt: stored
    std::vector<std::wstring> probed, stored;

    ProbedPath Probe(const std::wstring& path) override
    {
        probed.push_back(path);
        return {file, unreadable};
    }
    std::optional<std::wstring> Store(const std::wstring& path) override
    {
        stored.push_back(path);
        return failure;
    }
};

const std::wstring kThisProgramRefused =
    L"登録できませんでした。\r\n理由: ZanvekNotepad 自身のファイルです。";

DialogView Waiting()
{
    return {std::wstring(kWaitingMessage), false, L"Close", true, kNoAtCreation};
}

DialogView Asking(std::wstring_view fileName)
{
    return {std::wstring(fileName) + L"を登録してよろしいですか？", true, L"No", true,
            kNoAtCreation};
}

TEST(Dialog, BeforeLoadNoButtonIsShown)
{
    const RegistrationDialog dialog;
    EXPECT_EQ(dialog.View(),
              (DialogView{std::wstring(kWaitingMessage), false, L"No", false, kNoAtCreation}));
}

TEST(Dialog, LoadWaitsWithClose)
{
    RegistrationDialog dialog;
    dialog.Load();
    EXPECT_EQ(dialog.View(), Waiting());
}

TEST(Dialog, DropsFillTheTextBoxOnlyWithEveryEffectAllowedAndThenTestIt)
{
    DialogView refusedWaiting = Waiting();
    refusedWaiting.label2 = kThisProgramRefused;
    const struct {
        const char* why;
        std::wstring before;
        std::int32_t effect;
        Files files;
        std::wstring after;
        DialogView view;
        EditorFile file = Program(); // what the probe finds at the path
        InstallKind kind = InstallKind::Copy;
    } rows[] = {
        {"an executable with effect 7 asks", L"", 7, Files{{L"C:\\Tools\\Editor.EXE"}},
         L"C:\\Tools\\Editor.EXE", Asking(L"Editor.EXE")},
        {"a text file is taken but not asked about", L"", 7, Files{{L"C:\\Tools\\readme.txt"}},
         L"C:\\Tools\\readme.txt", Waiting()},
        {"only the first of several files", L"", 7,
         Files{{L"C:\\a\\first.exe", L"C:\\b\\second.exe"}}, L"C:\\a\\first.exe",
         Asking(L"first.exe")},
        {"another effect keeps the typed text, which is tested", L"D:\\ed\\ed.exe", 3,
         Files{{L"C:\\x\\other.exe"}}, L"D:\\ed\\ed.exe", Asking(L"ed.exe")},
        {"effect 7 without a file list keeps the text", L"C:\\keep.exe", 7, std::nullopt,
         L"C:\\keep.exe", Asking(L"keep.exe")},
        {"effect 7 with an empty list keeps the text", L"C:\\keep.txt", 7,
         Files{std::vector<std::wstring>{}}, L"C:\\keep.txt", Waiting()},
        {"typed text without a backslash is its own file name", L"editor.exe", 1, std::nullopt,
         L"editor.exe", Asking(L"editor.exe")},
        {"a trailing space fails the test", L"C:\\ed.exe ", 0, std::nullopt, L"C:\\ed.exe ",
         Waiting()},
        {"a path in quotes, as Copy as path writes it, is tested without them",
         L"\"C:\\Program Files\\ed\\ed.exe\"", 1, std::nullopt,
         L"\"C:\\Program Files\\ed\\ed.exe\"", Asking(L"ed.exe")},
        {"a copy of this program is refused, and the window still waits", L"", 7,
         Files{{L"C:\\Users\\me\\Downloads\\copy.exe"}}, L"C:\\Users\\me\\Downloads\\copy.exe",
         refusedWaiting, ThisProgram()},
        {"a copy of this program named notepad.exe, in a redirect installation", L"", 7,
         Files{{L"C:\\ed\\notepad.exe"}}, L"C:\\ed\\notepad.exe", refusedWaiting, ThisProgram(),
         InstallKind::Redirect},
    };
    for (const auto& row : rows) {
        RegistrationDialog dialog(row.kind);
        dialog.Load();
        std::wstring text = row.before;
        FakeHost host;
        host.file = row.file;
        dialog.Drop(text, row.effect, row.files, host);
        EXPECT_EQ(text, row.after) << row.why;
        EXPECT_EQ(dialog.View(), row.view) << row.why;
    }
}

TEST(Dialog, AFailingDropKeepsAnEarlierQuestion)
{
    RegistrationDialog dialog;
    dialog.Load();
    std::wstring text;
    FakeHost host;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\Editor.EXE"}}, host);
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\readme.txt"}}, host);
    EXPECT_EQ(text, L"C:\\Tools\\readme.txt"); // Yes now tests this text
    EXPECT_EQ(dialog.View(), Asking(L"Editor.EXE"));

    // A refused drop of this program says why and leaves the stage as it was: still asking.
    host.file = ThisProgram();
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\ZanvekNotepad.exe"}}, host);
    DialogView refused = Asking(L"Editor.EXE");
    refused.label2 = kThisProgramRefused;
    EXPECT_EQ(dialog.View(), refused);
}

// After a drop of a program, Yes with `typed` in the text box, `host` answering. `stored`, when
// given, receives what Yes says of itself.
DialogView AfterDropAndYes(RegistrationDialog& dialog, const std::wstring& typed, FakeHost& host,
                           bool* stored = nullptr)
{
    dialog.Load();
    std::wstring text;
    FakeHost program;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\first.exe"}}, program);
    const bool yes = dialog.Yes(typed, host);
    if (stored != nullptr) *stored = yes;
    return dialog.View();
}

TEST(Dialog, YesConfirmsWithTheNoteOfTheInstallationKind)
{
    const struct {
        InstallKind kind;
        std::wstring_view note;
    } rows[] = {
        {InstallKind::Copy, L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"},
        {InstallKind::Redirect, L"本来のNotePad.exe は、そのまま残ります。"},
    };
    for (const auto& row : rows) {
        RegistrationDialog dialog(row.kind);
        FakeHost host;
        const DialogView view = AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", host);
        EXPECT_EQ(host.stored, std::vector<std::wstring>{L"C:\\Tools\\ed.exe"});
        EXPECT_EQ(view.label2, ConfirmationMessage(L"ed.exe", row.kind));
        EXPECT_EQ(view.label2.find(row.note), view.label2.find(L"\r\n") + 2);
        EXPECT_EQ(view, (DialogView{view.label2, false, L"Close", true, kNoRegistered}));
    }
}

TEST(Dialog, YesStoresOnlyWhatTheLauncherWouldStartAndOtherwiseSaysWhyNot)
{
    const std::wstring notFullPath =
        L"登録できませんでした。\r\n理由: フルパス (C:\\… または \\\\サーバー\\…) ではありません。";
    const std::wstring loopsBack =
        L"登録できませんでした。\r\n"
        L"理由: notepad.exe という名前では、Windows がかわりにこのプログラムを起動します。";
    const struct {
        const char* why;
        std::wstring text;
        std::optional<std::wstring> storeFailure;
        std::optional<std::wstring> storedAs; // what the store was given; none: not asked
        std::wstring label2;                  // empty: the confirmation
        EditorFile file = Program();          // what the probe finds at the path
        std::optional<std::wstring> unreadable = std::nullopt;
        InstallKind kind = InstallKind::Copy;
    } rows[] = {
        {"a drive path", L"C:\\Tools\\ed.exe", std::nullopt, L"C:\\Tools\\ed.exe", L""},
        {"a UNC path", L"\\\\server\\share\\ed.exe", std::nullopt, L"\\\\server\\share\\ed.exe",
         L""},
        {"the emptied text box", L"", std::nullopt, std::nullopt, notFullPath},
        {"a bare name", L"ed.exe", std::nullopt, std::nullopt, notFullPath},
        {"relative to the current folder", L"..\\ed.exe", std::nullopt, std::nullopt, notFullPath},
        {"relative to a drive's current folder", L"C:ed.exe", std::nullopt, std::nullopt,
         notFullPath},
        {"the current drive's root", L"\\Tools\\ed.exe", std::nullopt, std::nullopt, notFullPath},
        {"a failed store", L"C:\\Tools\\ed.exe", L"理由: アクセスが拒否されました。 (エラー 5)",
         L"C:\\Tools\\ed.exe",
         L"登録できませんでした。\r\n理由: アクセスが拒否されました。 (エラー 5)"},
        {"a path in quotes, as Copy as path writes it", L"\"C:\\Program Files\\ed\\ed.exe\"",
         std::nullopt, L"C:\\Program Files\\ed\\ed.exe", L""},
        // What the launcher would refuse to start.
        {"a missing file", L"C:\\Tools\\gone.exe", std::nullopt, std::nullopt,
         L"登録できませんでした。\r\n理由: ファイルが見つかりません。", Nothing()},
        {"a folder", L"C:\\Tools\\ed.exe", std::nullopt, std::nullopt,
         L"登録できませんでした。\r\n理由: ファイルではなくフォルダです。", AFolder()},
        {"a batch file", L"C:\\Tools\\ed.bat", std::nullopt, std::nullopt,
         L"登録できませんでした。\r\n理由: バッチファイル (.bat または .cmd) です。", Text()},
        {"a text file", L"C:\\Tools\\readme.txt", std::nullopt, std::nullopt,
         L"登録できませんでした。\r\n理由: Windows のプログラムではありません。", Text()},
        {"a renamed copy of this program", L"C:\\ed\\copy.exe", std::nullopt, std::nullopt,
         kThisProgramRefused, ThisProgram()},
        {"a file that cannot be read", L"C:\\Tools\\ed.exe", std::nullopt, std::nullopt,
         L"登録できませんでした。\r\n理由: 共有違反です。 (エラー 32)", Nothing(),
         L"理由: 共有違反です。 (エラー 32)"},
        {"Windows' notepad.exe in a redirect installation", L"C:\\Windows\\notepad.exe",
         std::nullopt, std::nullopt, loopsBack, Program(), std::nullopt, InstallKind::Redirect},
        {"the system folder's notepad.exe in a copy installation",
         L"C:\\Windows\\System32\\notepad.exe", std::nullopt, L"C:\\Windows\\System32\\notepad.exe",
         L""},
    };
    for (const auto& row : rows) {
        RegistrationDialog dialog(row.kind);
        FakeHost host;
        host.file = row.file;
        host.unreadable = row.unreadable;
        host.failure = row.storeFailure;
        bool stored = false;
        const DialogView view = AfterDropAndYes(dialog, row.text, host, &stored);
        EXPECT_EQ(host.stored,
                  row.storedAs ? std::vector{*row.storedAs} : std::vector<std::wstring>{})
            << row.why;
        // Only a text that passes is looked up: a relative one would be looked for in the
        // current folder, a looping name is refused by its name alone.
        EXPECT_EQ(host.probed.empty(), row.label2 == notFullPath || row.label2 == loopsBack)
            << row.why;
        // What follows a stored editor (the default-app offer) must not follow a refusal.
        EXPECT_EQ(stored, row.label2.empty()) << row.why;
        if (row.label2.empty()) {
            EXPECT_EQ(view.label2, ConfirmationMessage(*row.storedAs, row.kind)) << row.why;
            EXPECT_FALSE(view.yesVisible) << row.why;
            EXPECT_EQ(view.noRect, kNoRegistered) << row.why;
        } else {
            // Still asking: the question gives way to why, Yes stays for another try.
            EXPECT_EQ(view, (DialogView{row.label2, true, L"No", true, kNoAtCreation})) << row.why;
        }
    }
}

TEST(Dialog, AfterAFailedStoreTheNextYesCanSucceed)
{
    RegistrationDialog dialog;
    FakeHost host;
    host.failure = L"理由: 不明 (エラー 1)";
    AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", host);
    host.failure.reset();
    dialog.Yes(L"C:\\Tools\\ed.exe", host);
    EXPECT_EQ(host.stored.size(), 2u);
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
}

TEST(Dialog, RepeatedConfirmationsMoveNoFromItsCreationGeometryOnlyOnce)
{
    RegistrationDialog dialog;
    FakeHost host;
    AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", host);

    // From Registered, a drop asks again with No where it is; a second Yes leaves it there.
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Other\\ed2.exe"}}, host);
    EXPECT_EQ(dialog.View(),
              (DialogView{L"ed2.exeを登録してよろしいですか？", true, L"No", true, kNoRegistered}));
    dialog.Yes(text, host);
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
    EXPECT_GT(dialog.View().noRect.height, 0);
}

} // namespace
} // namespace zn
