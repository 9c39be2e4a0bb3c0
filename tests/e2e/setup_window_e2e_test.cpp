// The registration window that an accepted install opens: where it comes from, and that it
// takes an editor dragged from another program and stores it.
#include "e2e/e2e_support.h"
#include "e2e/registration_window_probe.h"

#include <ole2.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

namespace zn::e2e {
namespace {

// Suspends (or resumes) every thread of a process: a desktop shell that hangs, as a hung
// Explorer does.
void SuspendThreadsOf(DWORD process, bool suspend)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int threads = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process) continue;
        const HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        if (suspend)
            ::SuspendThread(thread);
        else
            ::ResumeThread(thread);
        ::CloseHandle(thread);
        ++threads;
    }
    ::CloseHandle(snapshot);
    EXPECT_GT(threads, 0) << "no thread of process " << process;
}

DWORD ShellProcess()
{
    DWORD shell = 0;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(entry.szExeFile, L"explorer.exe") == 0) shell = entry.th32ProcessID;
    }
    ::CloseHandle(snapshot);
    return shell;
}

// A visible registration window of any process but `except`; nullptr when none came in time.
HWND WaitForRegistrationWindowOtherThan(DWORD except, std::chrono::milliseconds timeout)
{
    struct Search {
        DWORD except;
        HWND found;
    } search{except, nullptr};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (search.found == nullptr && std::chrono::steady_clock::now() < deadline) {
        ::EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(context);
                wchar_t name[64] = {};
                ::GetClassNameW(window, name, 64);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (std::wstring(name) != kRegistrationClass || !::IsWindowVisible(window) ||
                    owner == s.except)
                    return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        ::Sleep(20);
    }
    return search.found;
}

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

// The desktop's shell hangs (its threads suspended) when set-up asks it to start the launcher:
// after the time limit set-up opens its own window, elevated, which takes Explorer's classic
// drop. When the shell wakes up it carries the request out, and its launcher's window works too.
TEST_F(SetupWindow, RunAsAdministratorWithAHungShellItOpensItsOwnWindowAfterTheLimit)
{
    Process setup = Start(kSetup, L"\"" + kSetup + L"\"", kDownloads);
    ASSERT_EQ(setup.Elevation(), TokenElevationTypeFull) << "Wine runs every process elevated";
    const HWND prompt = WaitForMessageBox(setup.Id(), kInstallTitle);
    ASSERT_NE(prompt, nullptr);
    const DWORD shell = ShellProcess();
    ASSERT_NE(shell, 0u) << "no desktop shell";
    SuspendThreadsOf(shell, true);
    const auto answered = std::chrono::steady_clock::now();
    Answer(prompt, IDYES);

    const HWND own = WaitForWindow(setup.Id(), kRegistrationClass, kRegistrationCaption, 30s);
    const auto waited = std::chrono::steady_clock::now() - answered;
    SuspendThreadsOf(shell, false);
    ASSERT_NE(own, nullptr) << "set-up waited for the hung shell without end";
    EXPECT_GE(waited, 9s) << "set-up gave the shell less than its time";
    // Wine's drag loop never falls back to the classic drop, so that drop itself is the
    // in-process test's; here the text box is seen to accept it.
    EXPECT_NE(::GetWindowLongW(::GetDlgItem(own, kText1), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);

    // The shell, awake again, starts the launcher after all; its window takes a drop.
    const HWND late = WaitForRegistrationWindowOtherThan(setup.Id(), 20s);
    ASSERT_NE(late, nullptr) << "the shell never carried the request out";
    DWORD launcherId = 0;
    ::GetWindowThreadProcessId(late, &launcherId);
    Process launcher = OpenRunningProcess(launcherId);
    EXPECT_PRED1(IsInstalledLauncher, launcher.Image());
    OpenedWindow opened{late, std::move(launcher)};
    ::PostMessageW(own, WM_CLOSE, 0, 0);
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
