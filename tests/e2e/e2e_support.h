// Driving the built program as a user would, from a second Win32 process in the same prefix:
// starting it, finding its message boxes and windows, answering them, and reading what it left.
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zn::e2e {

using namespace std::chrono_literals;

// Paths of the built programs, from the environment ctest sets (Windows paths on drive Z:).
std::wstring ProgramPath();       // ZanvekNotepad.exe
std::wstring StandInEditorPath(); // stand_in_editor.exe
std::wstring PlantedDllPath();    // planted_dll.dll

inline const std::wstring kWindows = L"C:\\windows";
inline const std::wstring kNotepad = L"C:\\windows\\notepad.exe";
inline const std::wstring kBackup = L"C:\\windows\\notepad.met";
inline const std::wstring kStaged = L"C:\\windows\\notepad.ex_";

// Set-up's two prompts, title and text, as the user reads them.
inline const std::wstring kRemoveTitle = L"Uninstall";
inline const std::wstring kRemoveText = L"ZanvekNotePadをUninstallしますか？";
inline const std::wstring kInstallTitle = L"ZanvekNOTEPAD";
inline const std::wstring kInstallText = L"ZanvekNOTEPAD をインストールしますか？";

inline const std::wstring kStandInEditor = L"C:\\Tools\\editor.exe";
inline const std::wstring kEditorRecord = L"C:\\e2e\\editor-record.txt";

// The state the launcher and window tests start from: the program installed as notepad.exe,
// the stand-in editor at kStandInEditor, no editor setting, and the editor told (through the
// environment the launcher passes on) to record into kEditorRecord and exit with 0.
void PrepareInstalledProgram();

class Process {
public:
    Process() = default;
    // `image` is the executable's path; `elevation` the type of the token it runs with.
    Process(HANDLE process, DWORD id, std::wstring image, TOKEN_ELEVATION_TYPE elevation)
        : m_handle(process), m_id(id), m_image(std::move(image)), m_elevation(elevation)
    {
    }
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process(); // ends the process if it is still running: no test leaves one behind

    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_handle; }
    const std::wstring& Image() const { return m_image; }
    TOKEN_ELEVATION_TYPE Elevation() const { return m_elevation; }
    bool Running() const;
    // The exit code; a process still running after `timeout` is ended and the test fails.
    int Wait(std::chrono::milliseconds timeout = 20s);

private:
    HANDLE m_handle = nullptr;
    DWORD m_id = 0;
    std::wstring m_image;
    TOKEN_ELEVATION_TYPE m_elevation = TokenElevationTypeDefault;
};

// Starts `application` with the full command line `commandLine` in `folder` (empty: ours).
Process Start(const std::wstring& application, const std::wstring& commandLine,
              const std::wstring& folder = L"");
// The same with the unelevated half of this process's split token, as Windows starts a program
// that was not started "as administrator".
Process StartUnelevated(const std::wstring& application, const std::wstring& commandLine,
                        const std::wstring& folder = L"");
// A process this one did not start, while it runs; it is ended with its owner like one this
// process started.
Process OpenRunningProcess(DWORD pid);

// What the system tells of a process.
std::wstring CommandLineOf(const Process& process); // read from its own memory
DWORD ParentIdOf(DWORD pid);                        // 0 when there is no such process
std::wstring ExeNameOf(DWORD pid);                  // file name only; empty when unknown

// The first visible top-level window of process `pid` (0: of any process) with this class and
// caption, waiting up to `timeout`; nullptr when none appeared.
HWND WaitForWindow(DWORD pid, const wchar_t* className, const std::wstring& caption,
                   std::chrono::milliseconds timeout = 10s);
HWND WaitForMessageBox(DWORD pid, const std::wstring& title,
                       std::chrono::milliseconds timeout = 10s);
std::wstring MessageBoxText(HWND box);
void Answer(HWND box, int buttonId); // IDYES, IDNO, IDOK
// Waits for the box, checks its text, answers it; returns false (and fails) when it is not there.
bool AnswerMessageBox(const Process& process, const std::wstring& title, const std::wstring& text,
                      int buttonId);

inline const std::string kMissing = "<missing>";
// Waits for the error report, checks that it begins with what failed and the path, names a
// reason and (when given) the advice, closes it, and expects the process to end with code 3.
void ExpectErrorReport(Process& process, const std::wstring& what, const std::wstring& path,
                       const std::wstring& advice = L"");

std::string ReadBytes(const std::wstring& path); // kMissing when there is no such file
// A short fingerprint of file content (size and FNV-1a); kMissing stays kMissing.
std::string Checksum(const std::string& bytes);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
void CopyOver(const std::wstring& from, const std::wstring& to);
void MakeFolders(const std::wstring& folder);

// The settings key's default value, written and read with the wide functions.
void SetEditorSetting(const std::wstring& path);
void ClearEditorSetting();
std::wstring EditorSetting(); // "<none>" when the key or value is missing

// What the stand-in editor recorded: its module, its command line, its arguments.
struct EditorRecord {
    bool present = false;
    std::wstring module;
    std::wstring commandLine;
    std::vector<std::wstring> argv;
};
EditorRecord ReadEditorRecord(const std::wstring& file);

// Clicks button `id` of `window` (another process's) as the button itself would report it.
void ClickButton(HWND window, int id);

// The text of a window or control of another process (WM_GETTEXT, which crosses processes).
std::wstring ControlText(HWND window);
// Waits until `window`'s text satisfies `accept`; returns the last text seen.
std::wstring WaitForText(HWND window, const std::wstring& expected,
                         std::chrono::milliseconds timeout = 5s);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);

// Drags `files` with the mouse, as a user would: presses the button on a small window of this
// process, moves to `target` (screen coordinates) and releases it there. The drag source allows
// `allowedEffects`; with `withFiles` false its data carries no file list at all. Returns the
// effect the drop target reported back (DROPEFFECT_NONE when nothing was dropped).
DWORD DragFilesOnto(POINT target, const std::vector<std::wstring>& files, DWORD allowedEffects = 7,
                    bool withFiles = true);

// Sets an environment variable for the processes this one starts (the launcher passes it on).
void SetEnv(const wchar_t* name, const std::wstring& value);

// Starts a full command line with no separate program name, as most programs start another:
// the system takes the program from the command line's first token.
Process StartCommandLine(const std::wstring& commandLine, const std::wstring& folder = L"");

// Stands in for the user's choice of the app for `.txt` files: HKCR\.txt's default = `progId`
// (Wine reads no per-user choice). False when it cannot be written.
bool ChooseTextApp(const std::wstring& progId);

// Opens `document` through the shell, as a double-click does (ShellExecuteExW, verb open); the
// process it started (`image`, for the record), or an empty Process when the shell refused.
Process OpenThroughTheShell(const std::wstring& document, const std::wstring& image);

// Every key and value of a registry tree, for comparing the tree before and after, written as
// in a .reg file: each key as "[subkey]" -> "key" (the tree's own key is "[]"), each value as
// "[subkey] \"name\"" (or "[subkey] @" for the default value) -> "<type>: <bytes in hex>".
// Empty when the key does not exist. `view` chooses the 32- or 64-bit view of HKLM\SOFTWARE.
using RegistryDump = std::map<std::wstring, std::wstring>;
RegistryDump DumpRegistryTree(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY);

} // namespace zn::e2e
