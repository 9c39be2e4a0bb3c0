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

TEST(Dialog, YesConfirmsAndMovesNoFromItsCreationGeometryOnlyOnce)
{
    RegistrationDialog dialog;
    dialog.Load();
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\ed.exe"}});
    dialog.Confirmed(text, true);
    const DialogView registered{ConfirmationMessage(L"C:\\Tools\\ed.exe"), false, L"Close", true,
                                kNoRegistered};
    EXPECT_EQ(dialog.View(), registered);

    // From Registered, a drop asks again with No where it is; a second Yes leaves it there.
    dialog.Drop(text, 7, Files{{L"C:\\Other\\ed2.exe"}});
    EXPECT_EQ(dialog.View(),
              (DialogView{L"ed2.exeを登録してよろしいですか？", true, L"No", true, kNoRegistered}));
    dialog.Confirmed(text, true);
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
    EXPECT_GT(dialog.View().noRect.height, 0);
}

TEST(Dialog, AFailedStoreDoesNotClaimSuccess)
{
    RegistrationDialog dialog;
    dialog.Load();
    std::wstring text;
    dialog.Drop(text, 7, Files{{L"C:\\Tools\\ed.exe"}});
    dialog.Confirmed(text, false);
    EXPECT_EQ(dialog.View(),
              (DialogView{L"登録できませんでした。", true, L"No", true, kNoAtCreation}));
    dialog.Confirmed(text, true); // the user tries again, and this time it works
    EXPECT_EQ(dialog.View().noRect, kNoRegistered);
}

TEST(Dialog, YesWithAnEmptiedTextBoxConfirmsTheEmptyText)
{
    RegistrationDialog dialog;
    dialog.Load();
    dialog.Confirmed(L"", true);
    EXPECT_EQ(dialog.View().label2, std::wstring(L"次回から、メモ帳の変わりにを起動します\r\n") +
                                        std::wstring(kConfirmationNote));
}

} // namespace
} // namespace zn
