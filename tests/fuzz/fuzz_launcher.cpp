// The launcher's whole decision, from what the outside world hands it: the command line, the
// editor setting, the editor file's bytes, the name the program runs under, what the file
// system says of a document, and the nesting depth it inherits.
//
// Input: a flag byte (bit 0: run as the redirect copy ZanvekNotepad.exe, else as notepad.exe;
// bit 1: the system reports the Windows folder as C:\WINDOWS; bit 2: the editor file is
// missing; bit 3: it is a copy of the program itself (its version resource says so); bit 4: its
// bytes are a built program image, else the raw bytes below; bit 5: pad the editor path; bit 6:
// pad the command line so that the editor's would come within a few characters of the system's
// limit; bit 7: the document's path names a file, else nothing the system would open), a
// second flag byte (bits 0-2: the inherited nesting depth, 0 for none, else 0 to 6 as text;
// bit 3: that text with a letter after it; bits 4-5: the editor is, whatever bits 2 and 3 say,
// 1 a folder, 2 an app execution alias, 3 a file; bit 6: a document names a new file in an
// existing folder, not an existing one), a filler length (two bytes: how much to pad the path,
// and how far from the limit), a filler character (two bytes), the command line's tail and the
// editor path (each a length byte, then UTF-16LE units), then the editor file's bytes (all that
// is left; patched into the built image when bit 4 is set).
#include "fuzz_support.h"

#include "common/app_error.h"
#include "common/decimal.h"
#include "common/full_path.h"
#include "common/pe_image.h"
#include "common/pe_image_builder.h"
#include "setup/version_resource.h"
#include "startup/command_line.h"
#include "startup/main.h"
#include "startup/nesting.h"

#include <optional>
#include <string>
#include <vector>

namespace zn {
namespace {

constexpr int kWindow = 77;

class Host : public StartupHost {
public:
    std::wstring ownFileName, windowsFolder, commandLine, editorPath;
    EditorProbe probe = EditorProbe::File;
    std::vector<std::uint8_t> head;
    DocumentPlace place = DocumentPlace::Elsewhere;
    std::optional<std::wstring> inheritedDepth;

    int reads = 0, opens = 0, placeQueries = 0;
    std::vector<InstallKind> windows;
    std::vector<std::pair<std::wstring, std::wstring>> started;
    std::optional<std::wstring> depth; // the nesting variable as it is now
    std::vector<std::optional<std::wstring>> depthsAtStart;

    OwnExecutable LocateOwnExecutable() override
    {
        return {L"C:\\Windows", ownFileName, L"C:\\Windows\\" + ownFileName};
    }
    std::wstring WindowsFolder() override { return windowsFolder; }
    std::wstring CanonicalFolder(const std::wstring& folder) override
    {
        return folder == L"C:\\WINDOWS" ? L"C:\\Windows" : folder;
    }
    std::wstring FullCommandLine() override { return commandLine; }
    std::wstring ReadEditorPath() override
    {
        ++reads;
        return editorPath;
    }
    // As the system's probe answers: the version resource of a program image only.
    EditorFile OpenEditor(const std::wstring& path) override
    {
        ++opens;
        ZN_CHECK(path == editorPath);
        if (probe != EditorProbe::File) return {probe, {}, {}};
        return {probe, head,
                IsProgramImage(head) ? FindVersionResource(head) : std::vector<std::uint8_t>()};
    }
    DocumentPlace PlaceOfDocument(const std::wstring&) override
    {
        ++placeQueries;
        return place;
    }
    std::optional<std::wstring> Environment(const std::wstring& name) override
    {
        ZN_CHECK(name == kNestingVariable);
        return depth;
    }
    void SetEnvironment(const std::wstring& name, const std::wstring& value) override
    {
        ZN_CHECK(name == kNestingVariable);
        depth = value;
    }
    int StartEditorAndWait(const std::wstring& path, std::wstring command) override
    {
        started.emplace_back(path, std::move(command));
        depthsAtStart.push_back(depth);
        return 0;
    }
    // Set-up is never reached: the program always runs from the Windows folder here.
    SetupHost& Setup() override { fuzz::PropertyBroken("set-up ran", __FILE__, __LINE__); }
    RedirectHost& Redirection() override { fuzz::PropertyBroken("set-up ran", __FILE__, __LINE__); }
    int OpenRegistrationWindow(const WindowSettings& settings) override
    {
        windows.push_back(settings.kind);
        return kWindow;
    }
    // Only set-up asks these.
    ElevationType ProcessElevationType() override
    {
        fuzz::PropertyBroken("the launcher asked for its elevation", __FILE__, __LINE__);
    }
    bool StartAsDesktopUser(const std::wstring&, std::chrono::milliseconds) override
    {
        fuzz::PropertyBroken("the launcher started a program as the desktop's user", __FILE__,
                             __LINE__);
    }
    std::uint64_t SystemTime() override
    {
        fuzz::PropertyBroken("the launcher read the time", __FILE__, __LINE__);
    }
    bool WaitForRegistrationWindow(const std::wstring&, std::uint64_t,
                                   std::chrono::milliseconds) override
    {
        fuzz::PropertyBroken("the launcher waited for a window", __FILE__, __LINE__);
    }
};

std::wstring LowerAscii(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

// The name Win32 opens: without trailing dots and blanks.
std::wstring OpenedName(std::wstring_view path)
{
    std::wstring name = LowerAscii(FileNamePart(path));
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    return name;
}

void CheckLaunch(const Host& host, bool redirected)
{
    const std::wstring& full = host.commandLine;
    const InstallKind kind = redirected ? InstallKind::Redirect : InstallKind::Copy;
    std::optional<std::uint32_t> error;
    int result = 0;
    Host run = host;
    run.depth = host.inheritedDepth;
    try {
        result = Main(run);
    } catch (const AppError& raised) {
        error = raised.code;
    }
    const int outcomes = static_cast<int>(run.started.size()) +
                         static_cast<int>(run.windows.size()) + (error ? 1 : 0);
    ZN_CHECK(outcomes == 1);
    ZN_CHECK(run.reads <= 1 && run.opens <= run.reads);
    for (const InstallKind told : run.windows) {
        ZN_CHECK(told == kind);
        ZN_CHECK(result == kWindow);
    }

    // What the editor would be given: Notepad's command line after the rules.
    std::wstring_view tail = CommandLineTail(full);
    if (redirected) tail = WithoutNotepadToken(tail);
    const std::wstring_view argument = ApplyApostropheRule(tail);
    // One attribute query at most, and only about a full path with a blank that quotes can
    // enclose; only such a path is ever quoted.
    ZN_CHECK(run.placeQueries <= 1);
    if (run.placeQueries == 1) ZN_CHECK(MayBeOneDocument(argument));
    const bool quoted = run.placeQueries == 1 && host.place != DocumentPlace::Elsewhere;
    const std::size_t commandSize = host.editorPath.size() + 3 + argument.size() + (quoted ? 2 : 0);
    const unsigned inherited = ParseNestingDepth(host.inheritedDepth);
    const std::wstring name = OpenedName(host.editorPath);
    const bool script = name.ends_with(L".bat") || name.ends_with(L".cmd");
    const bool ours = host.probe == EditorProbe::File && IsProgramImage(host.head) &&
                      NamesThisProgram(FindVersionResource(host.head));

    if (error) {
        // Only a program that may not start, a command line that cannot be passed whole, or
        // editors nested too deep.
        ZN_CHECK(*error == kErrorEditorNotAProgram || *error == kErrorCommandLineTooLong ||
                 *error == kErrorEditorLoop);
        ZN_CHECK(run.opens == 1 && !ours);
        ZN_CHECK(host.probe == EditorProbe::File || host.probe == EditorProbe::AppAlias);
        if (*error == kErrorCommandLineTooLong) ZN_CHECK(commandSize >= kCommandLineLimit);
        if (*error == kErrorEditorNotAProgram)
            ZN_CHECK(script || (host.probe == EditorProbe::File && !IsProgramImage(host.head)));
        if (*error == kErrorEditorLoop) ZN_CHECK(inherited >= kMostNestedEditors);
        // Nothing passed on to what would have started.
        ZN_CHECK(run.depth == host.inheritedDepth);
    }
    if (run.started.empty()) return;

    const auto& [path, command] = run.started.front();
    ZN_CHECK(path == host.editorPath);
    ZN_CHECK(IsFullPath(path));
    ZN_CHECK(!ours && !script);
    ZN_CHECK((host.probe == EditorProbe::File && IsProgramImage(host.head)) ||
             host.probe == EditorProbe::AppAlias);
    // The system would send a notepad.exe back to the redirect copy.
    if (redirected) ZN_CHECK(name != L"notepad.exe");
    // The editor inherits a depth one deeper than the launcher's, and never a fifth.
    ZN_CHECK(inherited < kMostNestedEditors);
    ZN_CHECK(run.depthsAtStart.front() == NextNestingDepth(inherited));
    // The whole command line fits the system's limit, with its NUL.
    ZN_CHECK(command.size() < kCommandLineLimit);
    ZN_CHECK(command.size() == commandSize);
    // The editor is its first token (no file name holds a double quote); what follows is a
    // piece of the launcher's own command line, at its end or just before a closing
    // apostrophe, in double quotes when it names one document, which has none of its own.
    if (path.find(L'"') == std::wstring::npos) {
        const std::wstring_view rest = CommandLineTail(command);
        std::wstring head(std::wstring_view(command).substr(0, command.size() - rest.size()));
        while (!head.empty() && head.back() <= L' ')
            head.pop_back();
        std::erase(head, L'"');
        ZN_CHECK(head == path);
    }
    std::wstring_view given = std::wstring_view(command).substr(path.size() + 3);
    if (quoted) {
        ZN_CHECK(given.size() >= 2 && given.front() == L'"' && given.back() == L'"');
        given = given.substr(1, given.size() - 2);
        ZN_CHECK(given.find(L'"') == std::wstring_view::npos && !given.ends_with(L'\\'));
        ZN_CHECK(given.find_first_of(L" \t") != std::wstring_view::npos && IsFullPath(given));
    }
    ZN_CHECK(given == argument);
    ZN_CHECK(given.size() < full.size());
    ZN_CHECK(full.ends_with(given) || full.substr(0, full.size() - 1).ends_with(given));
}

} // namespace
} // namespace zn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zn;
    fuzz::Reader in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t more = in.Byte();
    const std::size_t fillerLength = in.Byte() | std::size_t{in.Byte()} << 8;
    const auto filler = static_cast<wchar_t>(in.Byte() | in.Byte() << 8);

    const bool redirected = (flags & 1) != 0;
    Host host;
    host.ownFileName = redirected ? L"ZanvekNotepad.exe" : L"notepad.exe";
    host.windowsFolder = (flags & 2) != 0 ? L"C:\\WINDOWS" : L"C:\\Windows";
    constexpr EditorProbe kProbes[] = {EditorProbe::File, EditorProbe::Folder,
                                       EditorProbe::AppAlias, EditorProbe::File};
    host.probe = (more & 0x30) != 0 ? kProbes[(more >> 4) & 3]
                 : (flags & 4) != 0 ? EditorProbe::NoSuchFile
                                    : EditorProbe::File;
    host.place = (flags & 128) == 0 ? DocumentPlace::Elsewhere
                 : (more & 64) != 0 ? DocumentPlace::NewFile
                                    : DocumentPlace::File;
    if ((more & 7) != 0) {
        host.inheritedDepth = ToDecimal((more & 7) - 1);
        if ((more & 8) != 0) *host.inheritedDepth += L'x';
    }
    host.commandLine = L"\"C:\\Windows\\" + host.ownFileName + L"\" " + in.Text();
    host.editorPath = in.Text();
    if ((flags & 32) != 0)
        host.editorPath += std::wstring(fillerLength % kCommandLineLimit, filler);
    if ((flags & 64) != 0) {
        // As many characters more as bring the editor's command line to the limit, give or take
        // two (exactly so unless the filler is a blank or an apostrophe, which the rules treat
        // otherwise, or the document is quoted).
        std::wstring_view tail = CommandLineTail(host.commandLine);
        if (redirected) tail = WithoutNotepadToken(tail);
        const std::size_t size = host.editorPath.size() + 3 + ApplyApostropheRule(tail).size();
        const std::size_t target = kCommandLineLimit - 3 + fillerLength % 5;
        if (size < target) host.commandLine += std::wstring(target - size, filler);
    }
    const std::span<const std::uint8_t> bytes = in.Rest();
    if ((flags & 8) != 0) {
        // A copy of the program: its version resource names it, whatever else the file holds.
        host.head = testing::PeImage(testing::VersionInfo(
            {{L"041104B0",
              {{L"InternalName", L"ZanvekNotepad"}, {L"ProductName", L"ZanvekNotepad"}}}}));
    } else if ((flags & 16) != 0) {
        // A real header, with the input's bytes written over its start from a chosen place.
        testing::Bytes image = testing::PeImage({});
        const std::size_t at = bytes.empty() ? 0 : bytes[0] % 0x80;
        for (std::size_t i = 1; i < bytes.size() && at + i - 1 < image.size(); ++i)
            image[at + i - 1] = bytes[i];
        host.head = image;
    } else {
        host.head.assign(bytes.begin(), bytes.begin() + std::min(bytes.size(), kProgramHeadBytes));
    }
    CheckLaunch(host, redirected);
    return 0;
}
