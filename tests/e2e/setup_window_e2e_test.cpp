// The registration window that an accepted install opens: where it comes from, and that it
// takes an editor dragged from another program and stores it.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <ole2.h>

#include <gtest/gtest.h>

namespace zn::e2e {
namespace {

const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
const std::wstring kSetup = kDownloads + L"\\ZanvekNotepad.exe";

class SetupWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeFolders(kDownloads);
        CopyOver(ProgramPath(), kSetup);
        PrepareEditor();
    }

    static void PrepareEditor()
    {
        MakeFolders(L"C:\\Tools");
        CopyOver(StandInEditorPath(), kStandInEditor);
        ClearEditorSetting();
    }

    // Answers the install prompt with Yes and returns the window that opens then.
    static OpenedWindow Install(Process& setup)
    {
        EXPECT_TRUE(AnswerMessageBox(setup, kInstallTitle, kInstallText, IDYES));
        return WaitForOpenedWindow(setup);
    }

    // Drags the editor onto the window from this process, confirms, and closes the window.
    static void RegisterTheEditor(OpenedWindow& opened, Process& setup)
    {
        const HWND text1 = ::GetDlgItem(opened.window, kText1);
        EXPECT_EQ(DragFilesOnto(CentreOf(text1), {kStandInEditor}),
                  static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(WaitForText(text1, kStandInEditor), kStandInEditor);
        EXPECT_EQ(ControlText(::GetDlgItem(opened.window, kLabel2)),
                  L"editor.exeを登録してよろしいですか？");
        ClickButton(opened.window, kCmdYes);
        EXPECT_EQ(WaitForText(::GetDlgItem(opened.window, kCmdNo), L"Close"), L"Close");
        EXPECT_EQ(EditorSetting(), kStandInEditor);
        ClickButton(opened.window, kCmdNo);
        EXPECT_EQ(opened.Owner(setup).Wait(), 0);
        EXPECT_EQ(setup.Wait(), 0);
    }
};

TEST_F(SetupWindow, RunAsAdministratorTheDesktopsShellOpensItAndItTakesADrop)
{
    Process setup = Start(kSetup, L"\"" + kSetup + L"\"", kDownloads);
    ASSERT_EQ(setup.Elevation(), TokenElevationTypeFull) << "Wine runs every process elevated";
    OpenedWindow opened = Install(setup);
    ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
    ASSERT_NE(opened.launcher.Id(), 0u) << "set-up showed the window itself";
    EXPECT_PRED2(SamePath, opened.launcher.Image(), kNotepad);
    EXPECT_EQ(Checksum(ReadBytes(kNotepad)), Checksum(ReadBytes(kSetup)));
    RegisterTheEditor(opened, setup);
}

TEST_F(SetupWindow, NotElevatedSetUpOpensItItselfAndItTakesADrop)
{
    Process setup = StartUnelevated(kSetup, L"\"" + kSetup + L"\"", kDownloads);
    ASSERT_EQ(setup.Elevation(), TokenElevationTypeLimited);
    OpenedWindow opened = Install(setup);
    ASSERT_NE(opened.window, nullptr) << "the registration window did not open";
    EXPECT_EQ(opened.launcher.Id(), 0u) << "the shell was asked to open it";
    EXPECT_EQ(Checksum(ReadBytes(kNotepad)), Checksum(ReadBytes(kSetup)));
    RegisterTheEditor(opened, setup);
}

} // namespace
} // namespace zn::e2e
