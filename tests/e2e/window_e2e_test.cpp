// The registration window as a user meets it: opened by the installed notepad.exe, an editor
// dragged onto it from another program, confirmed, and started by the next launch.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <ole2.h>

#include <gtest/gtest.h>

namespace zn::e2e {
namespace {

const std::wstring& kEditor = kStandInEditor;
const std::wstring& kRecord = kEditorRecord;

class RegistrationWindow : public ::testing::Test {
protected:
    void SetUp() override { PrepareInstalledProgram(); }

    // Starts the installed notepad.exe without a command line; returns its window (nullptr when
    // none opened).
    HWND Open()
    {
        m_launcher = Start(kNotepad, L"C:\\windows\\notepad.exe");
        return WaitForRegistrationWindow(m_launcher);
    }

    Process m_launcher;
};

TEST_F(RegistrationWindow, ADroppedAndConfirmedEditorIsWhatTheNextLaunchStarts)
{
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    const HWND text1 = ::GetDlgItem(window, kText1);
    const HWND label2 = ::GetDlgItem(window, kLabel2);

    // Of the two files dragged, only the first is taken; the source is told "copy".
    EXPECT_EQ(DragFilesOnto(CentreOf(text1), {kEditor, L"C:\\Tools\\second.exe"}),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(WaitForText(text1, kEditor), kEditor);
    EXPECT_EQ(ControlText(label2), L"editor.exeを登録してよろしいですか？");
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(window, kCmdYes)));
    EXPECT_EQ(ControlText(::GetDlgItem(window, kCmdNo)), L"No");

    ClickButton(window, kCmdYes);
    const std::wstring confirmation =
        L"次回から、メモ帳の変わりにeditor.exeを起動します\r\n"
        L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
        L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。";
    EXPECT_EQ(WaitForText(label2, confirmation), confirmation);
    EXPECT_EQ(EditorSetting(), kEditor);
    EXPECT_EQ(ControlText(::GetDlgItem(window, kCmdNo)), L"Close");

    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
    EXPECT_TRUE(Exists(kEditor)) << "the dragged editor must stay where it was";

    ::DeleteFileW(kRecord.c_str());
    Process next = Start(kNotepad, L"C:\\windows\\notepad.exe C:\\memo.txt");
    EXPECT_EQ(next.Wait(), 0);
    const EditorRecord record = ReadEditorRecord(kRecord);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.argv, (std::vector<std::wstring>{kEditor, L"C:\\memo.txt"}));
}

TEST_F(RegistrationWindow, ClosingItFromTheTitleBarStoresNothing)
{
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(DragFilesOnto(CentreOf(::GetDlgItem(window, kText1)), {kEditor}),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(WaitForText(::GetDlgItem(window, kText1), kEditor), kEditor);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(m_launcher.Wait(), 0);
    EXPECT_EQ(EditorSetting(), L"<none>");
}

TEST_F(RegistrationWindow, ATypedNameThatIsNoFullPathIsNotStored)
{
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    const HWND text1 = ::GetDlgItem(window, kText1);
    const HWND label2 = ::GetDlgItem(window, kLabel2);
    // Typed by hand; a drag that allows copy only leaves the text and asks about it.
    ::SendMessageW(text1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"editor.exe"));
    EXPECT_EQ(DragFilesOnto(CentreOf(text1), {kEditor}, DROPEFFECT_COPY),
              static_cast<DWORD>(DROPEFFECT_COPY));
    const std::wstring question = L"editor.exeを登録してよろしいですか？";
    EXPECT_EQ(WaitForText(label2, question), question);

    ClickButton(window, kCmdYes);
    const std::wstring refused =
        L"登録できませんでした。\r\n理由: フルパス (C:\\… または \\\\サーバー\\…) ではありません。";
    EXPECT_EQ(WaitForText(label2, refused), refused);
    EXPECT_EQ(EditorSetting(), L"<none>");
    EXPECT_EQ(ControlText(text1), L"editor.exe");
    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
}

// What other programs may drag onto the window.

TEST_F(RegistrationWindow, DataWithoutFilesIsNotAcceptedAndChangesNothing)
{
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    const HWND text1 = ::GetDlgItem(window, kText1);
    EXPECT_EQ(DragFilesOnto(CentreOf(text1), {}, 7, /*withFiles=*/false),
              static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(ControlText(text1), L"");
    EXPECT_EQ(ControlText(::GetDlgItem(window, kLabel2)),
              L"メモ帳のかわりに起動したいエディタをドロップしてください");
    EXPECT_TRUE(m_launcher.Running());
    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
}

TEST_F(RegistrationWindow, OfAHundredFilesOnlyTheFirstIsTaken)
{
    std::vector<std::wstring> files;
    for (int i = 0; i < 100; ++i)
        files.push_back(L"C:\\Tools\\editor" + std::to_wstring(i) + L".exe");
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(DragFilesOnto(CentreOf(::GetDlgItem(window, kText1)), files),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(WaitForText(::GetDlgItem(window, kText1), files[0]), files[0]);
    EXPECT_EQ(ControlText(::GetDlgItem(window, kLabel2)), L"editor0.exeを登録してよろしいですか？");
    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
    EXPECT_EQ(EditorSetting(), L"<none>");
}

TEST_F(RegistrationWindow, AVeryLongPathIsTakenWholeAndStoredWhole)
{
    std::wstring path = L"C:";
    for (int i = 0; i < 40; ++i)
        path += L"\\a rather long folder name " + std::to_wstring(i);
    path += L"\\エディタ.exe";
    ASSERT_GT(path.size(), 1000u);
    // Yes stores only an editor that is there: the stand-in, reached through the long form.
    const std::wstring longForm = L"\\\\?\\" + path;
    MakeFolders(longForm.substr(0, longForm.rfind(L'\\')));
    CopyOver(StandInEditorPath(), longForm);
    const HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(DragFilesOnto(CentreOf(::GetDlgItem(window, kText1)), {path}),
              static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(WaitForText(::GetDlgItem(window, kText1), path), path);
    EXPECT_EQ(ControlText(::GetDlgItem(window, kLabel2)),
              L"エディタ.exeを登録してよろしいですか？");
    ClickButton(window, kCmdYes);
    EXPECT_EQ(WaitForText(::GetDlgItem(window, kCmdNo), L"Close"), L"Close");
    EXPECT_EQ(EditorSetting(), path);
    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
}

// After an editor is stored in the redirect copy's window, the window looks up which program
// opens .txt files: where that is a program the redirection does not reach, it offers the
// Settings page on which the user can choose this program. Each case runs in a fresh prefix,
// whose HKEY_CLASSES_ROOT it may change.
class DefaultAppPrompt : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareInstalledProgram();
        CopyOver(ProgramPath(), kRedirectCopy);
    }

    // Opens the redirect copy's window, drags the editor onto it and clicks Yes; returns the
    // window once the confirmation shows.
    HWND RegisterTheEditor()
    {
        m_launcher = Start(kRedirectCopy, L"\"" + kRedirectCopy + L"\"");
        const HWND window = WaitForRegistrationWindow(m_launcher);
        if (window == nullptr) return nullptr;
        const HWND text1 = ::GetDlgItem(window, kText1);
        EXPECT_EQ(DragFilesOnto(CentreOf(text1), {kEditor}), static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(WaitForText(text1, kEditor), kEditor);
        ClickButton(window, kCmdYes);
        EXPECT_EQ(WaitForText(::GetDlgItem(window, kCmdNo), L"Close"), L"Close");
        EXPECT_EQ(EditorSetting(), kEditor);
        return window;
    }

    static inline const std::wstring kRedirectCopy = kWindows + L"\\ZanvekNotepad.exe";
    Process m_launcher;
};

// Sets the machine's .txt file type to a ProgID of its own whose open command names `program`.
void SetTextFileProgram(const std::wstring& progId, const std::wstring& program)
{
    const auto setDefault = [](const std::wstring& key, const std::wstring& value) {
        HKEY opened = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + key).c_str(), 0,
                                    nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
                  ERROR_SUCCESS)
            << key;
        ::RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(opened);
    };
    setDefault(progId + L"\\shell\\open\\command", L"\"" + program + L"\" \"%1\"");
    setDefault(L".txt", progId);
}

TEST_F(DefaultAppPrompt, TextFilesOpenedByAnotherProgramBringTheOfferAfterYes)
{
    const std::wstring other = L"C:\\Tools\\other.exe";
    CopyOver(StandInEditorPath(), other);
    SetTextFileProgram(L"ZnTest.OtherText", other);
    const HWND window = RegisterTheEditor();
    ASSERT_NE(window, nullptr);

    const HWND question = WaitForMessageBox(m_launcher.Id(), L"ZanvekNotePad");
    ASSERT_NE(question, nullptr) << "no offer of the default-app page";
    // Wine names the app by its file name without the extension.
    EXPECT_NE(MessageBoxText(question).find(L"今も「other」で開きます。"), std::wstring::npos)
        << MessageBoxText(question);
    EXPECT_EQ(::GetWindow(question, GW_OWNER), window) << "the question belongs to the window";
    // Wine reports Windows 7, which has the list of default apps only; and its shell opens no
    // ms-settings: link, which is reported as any error is. The editor stays stored.
    Answer(question, IDYES);
    for (int i = 0; i < 250 && ::IsWindow(question); ++i)
        ::Sleep(20); // gone before the report is looked for: it has the same title
    ExpectErrorReport(m_launcher, L"設定のページを開けませんでした。", L"ms-settings:defaultapps");
    EXPECT_EQ(EditorSetting(), kEditor);
}

TEST_F(DefaultAppPrompt, TextFilesOpenedByTheSystemsNotepadBringNone)
{
    // The template's .txt is txtfile, whose open command starts the system folder's notepad.exe:
    // the redirection reaches it.
    const HWND window = RegisterTheEditor();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WaitForMessageBox(m_launcher.Id(), L"ZanvekNotePad", 3s), nullptr)
        << "an offer although Notepad's starts are redirected";
    ClickButton(window, kCmdNo);
    EXPECT_EQ(m_launcher.Wait(), 0);
}

} // namespace
} // namespace zn::e2e
