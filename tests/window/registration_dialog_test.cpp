#include "window/registration_dialog.h"

#include "window/registration_texts.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

const TwipsRect kNoAtCreation{3660, 1260, 855, 435};
const TwipsRect kNoRegistered{3660, 1410, 855, 285};
using Files = std::optional<std::vector<std::wstring>>;

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
    const struct {
        const char* why;
        std::wstring before;
        std::int32_t effect;
        Files files;
        std::wstring after;
        DialogView view;
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
    };
    for (const auto& row : rows) {
        RegistrationDialog dialog;
        dialog.Load();
        std::wstring text = row.before;
        dialog.Drop(text, row.effect, row.files);
        EXPECT_EQ(text, row.after) << row.why;
        EXPECT_EQ(dialog.View(), row.view) << row.why;
    }
}

TEST(Dialog, AFailingDropKeepsAnEarlierQuestion)
{
    RegistrationDialog dialog;
    dialog.Load();
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\Editor.EXE"}});
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\readme.txt"}});
    EXPECT_EQ(text, L"C:\\Tools\\readme.txt"); // and Yes would now store this text
    EXPECT_EQ(dialog.View(), Asking(L"Editor.EXE"));
}

// A store that records what it was given and answers with `failure` (nullopt: stored).
struct FakeStore {
    std::optional<std::wstring> failure;
    std::vector<std::wstring> stored;
    StorePath Fn()
    {
        return [this](const std::wstring& path) {
            stored.push_back(path);
            return failure;
        };
    }
};

// `stored`, when given, receives what Yes says of itself.
DialogView AfterDropAndYes(RegistrationDialog& dialog, const std::wstring& typed, FakeStore& store,
                           bool* stored = nullptr)
{
    dialog.Load();
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\first.exe"}});
    const bool yes = dialog.Yes(typed, store.Fn());
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
        FakeStore store;
        const DialogView view = AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", store);
        EXPECT_EQ(store.stored, std::vector<std::wstring>{L"C:\\Tools\\ed.exe"});
        EXPECT_EQ(view.label2, ConfirmationMessage(L"ed.exe", row.kind));
        EXPECT_EQ(view.label2.find(row.note), view.label2.find(L"\r\n") + 2);
        EXPECT_EQ(view, (DialogView{view.label2, false, L"Close", true, kNoRegistered}));
    }
}

TEST(Dialog, YesStoresOnlyAFullPathAndOtherwiseSaysWhyNot)
{
    const std::wstring notFullPath =
        L"登録できませんでした。\r\n理由: フルパス (C:\\… または \\\\サーバー\\…) ではありません。";
    const struct {
        const char* why;
        std::wstring text;
        std::optional<std::wstring> storeFailure;
        bool storeAsked;
        std::wstring label2; // empty: the confirmation
    } rows[] = {
        {"a drive path", L"C:\\Tools\\ed.exe", std::nullopt, true, L""},
        {"a UNC path", L"\\\\server\\share\\ed.exe", std::nullopt, true, L""},
        {"the emptied text box", L"", std::nullopt, false, notFullPath},
        {"a bare name", L"ed.exe", std::nullopt, false, notFullPath},
        {"relative to the current folder", L"..\\ed.exe", std::nullopt, false, notFullPath},
        {"relative to a drive's current folder", L"C:ed.exe", std::nullopt, false, notFullPath},
        {"the current drive's root", L"\\Tools\\ed.exe", std::nullopt, false, notFullPath},
        {"a failed store", L"C:\\Tools\\ed.exe", L"理由: アクセスが拒否されました。 (エラー 5)",
         true, L"登録できませんでした。\r\n理由: アクセスが拒否されました。 (エラー 5)"},
    };
    for (const auto& row : rows) {
        RegistrationDialog dialog;
        FakeStore store{row.storeFailure, {}};
        bool stored = false;
        const DialogView view = AfterDropAndYes(dialog, row.text, store, &stored);
        EXPECT_EQ(store.stored.size(), row.storeAsked ? 1u : 0u) << row.why;
        // What follows a stored editor (the default-app offer) must not follow a refusal.
        EXPECT_EQ(stored, row.label2.empty()) << row.why;
        if (row.label2.empty()) {
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
    FakeStore store{L"理由: 不明 (エラー 1)", {}};
    AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", store);
    store.failure.reset();
    dialog.Yes(L"C:\\Tools\\ed.exe", store.Fn());
    EXPECT_EQ(store.stored.size(), 2u);
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
}

TEST(Dialog, RepeatedConfirmationsMoveNoFromItsCreationGeometryOnlyOnce)
{
    RegistrationDialog dialog;
    FakeStore store;
    AfterDropAndYes(dialog, L"C:\\Tools\\ed.exe", store);

    // From Registered, a drop asks again with No where it is; a second Yes leaves it there.
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Other\\ed2.exe"}});
    EXPECT_EQ(dialog.View(),
              (DialogView{L"ed2.exeを登録してよろしいですか？", true, L"No", true, kNoRegistered}));
    dialog.Yes(text, store.Fn());
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
    EXPECT_GT(dialog.View().noRect.height, 0);
}

} // namespace
} // namespace zn
