// Every text Label2 shows is wholly visible: measured as the label draws it (DrawTextW, word
// breaks, the label's width, and the font the system gives it, whose face GetTextFaceW reports)
// at 96, 120 and 144 dpi, against the part of the label that the stage's visible buttons leave
// uncovered. A DPI is measured without changing the system's: the font and the geometry are
// scaled to it.
#include "common/error_report.h"
#include "common/error_report_win32.h"
#include "common/pe_image_builder.h"
#include "window/fmain_win32.h"
#include "window/registration_dialog.h"
#include "window/registration_texts.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace zn {
namespace {

// How a static control with SS_LEFT | SS_NOPREFIX draws its text.
constexpr UINT kLabelFormat = DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX;

struct Stage {
    std::string name;
    DialogView view;
};

// Every path names `file`; the store answers `failure` (nullopt: stored).
struct StandInHost final : RegistrationHost {
    EditorFile file{EditorProbe::File, testing::PeImage({}), {}};
    std::optional<std::wstring> failure;
    ProbedPath Probe(const std::wstring&) override { return {file, std::nullopt}; }
    std::optional<std::wstring> Store(const std::wstring&) override { return failure; }
};

// The dialogue after `editor` was dropped, and after Yes with `yesText` when one is given, the
// file at that path being `file`.
DialogView Reach(InstallKind kind, const std::wstring& editor,
                 const std::optional<std::wstring>& yesText = std::nullopt,
                 const std::optional<std::wstring>& storeFailure = std::nullopt,
                 const std::optional<EditorFile>& file = std::nullopt)
{
    RegistrationDialog dialog(kind);
    dialog.Load();
    std::wstring text1;
    StandInHost host;
    dialog.Drop(text1, kAllDropEffects, std::vector<std::wstring>{editor}, host);
    host.failure = storeFailure;
    if (file) host.file = *file;
    if (yesText) dialog.Yes(*yesText, host);
    return dialog.View();
}

// The stages Label2 can show, for one editor path.
std::vector<Stage> StagesFor(const std::wstring& editor)
{
    RegistrationDialog waiting;
    waiting.Load();
    return {
        {"waiting", waiting.View()},
        {"asking", Reach(InstallKind::Copy, editor)},
        {"registered (copy)", Reach(InstallKind::Copy, editor, editor)},
        {"registered (redirect)", Reach(InstallKind::Redirect, editor, editor)},
        {"store failed", Reach(InstallKind::Copy, editor, editor,
                               ReasonText(ERROR_ACCESS_DENIED, SystemReason(ERROR_ACCESS_DENIED)))},
        {"not a full path", Reach(InstallKind::Copy, editor, std::wstring(FileNameOf(editor)))},
        // The launcher's other refusals.
        {"loops back", Reach(InstallKind::Redirect, editor, L"C:\\windows\\notepad.exe")},
        {"no such file", Reach(InstallKind::Copy, editor, editor, std::nullopt, EditorFile{})},
        {"a folder", Reach(InstallKind::Copy, editor, editor, std::nullopt,
                           EditorFile{EditorProbe::Folder, {}, {}})},
        {"this program",
         Reach(InstallKind::Copy, editor, editor, std::nullopt,
               EditorFile{EditorProbe::File, testing::PeImage({}),
                          testing::VersionInfo({{L"041104B0",
                                                 {{L"InternalName", L"ZanvekNotepad"},
                                                  {L"ProductName", L"ZanvekNotepad"}}}})})},
        {"a batch file", Reach(InstallKind::Copy, editor, L"C:\\Tools\\editor.cmd")},
        {"not a program", Reach(InstallKind::Copy, editor, editor, std::nullopt,
                                EditorFile{EditorProbe::File, {'M', 'Z'}, {}})},
    };
}

struct Fit {
    int height = 0, width = 0, lines = 0; // of the text, as DT_CALCRECT measures it
    int labelHeight = 0, labelWidth = 0;
    bool hiddenInk = false; // a drawn pixel under a visible button or below the label
    bool Fits() const { return height <= labelHeight && width <= labelWidth && !hiddenInk; }
};

class Canvas {
public:
    // Measures in the font Label2 gets at `dpi`.
    explicit Canvas(int dpi)
        : m_dc(::CreateCompatibleDC(nullptr)), m_font(CreateLabelFont(kMessageFont, dpi))
    {
        m_oldFont = ::SelectObject(m_dc, m_font.get());
        ::GetTextMetricsW(m_dc, &m_metrics);
    }
    ~Canvas()
    {
        ::SelectObject(m_dc, m_oldFont);
        ::DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The face the system chose for the font: where the face asked for is missing, the font
    // mapper takes another, and that is the one the label shows.
    std::wstring Face() const
    {
        wchar_t face[LF_FACESIZE] = {};
        ::GetTextFaceW(m_dc, LF_FACESIZE, face);
        return face;
    }
    // The texts are fitted to MS PGothic (its English or its Japanese name): a Windows without
    // it (a stripped image) shows another font, whose fit says nothing of the program's texts.
    bool HasTheFaceAskedFor() const
    {
        const std::wstring face = Face();
        return face == kMessageFont.face || face == L"ＭＳ Ｐゴシック";
    }

    // `covered`: the visible buttons' rectangles, relative to the label.
    Fit Measure(const std::wstring& text, int labelWidth, int labelHeight,
                const std::vector<RECT>& covered)
    {
        Fit fit;
        fit.labelWidth = labelWidth;
        fit.labelHeight = labelHeight;
        RECT extent{0, 0, labelWidth, 0};
        ::DrawTextW(m_dc, text.c_str(), -1, &extent, DT_CALCRECT | kLabelFormat);
        fit.height = extent.bottom;
        fit.width = extent.right;
        fit.lines = m_metrics.tmHeight > 0 ? extent.bottom / m_metrics.tmHeight : 0;

        // Draw it as the label would, black on white, and look for ink where it cannot be seen.
        const int height = std::max(labelHeight, fit.height) + m_metrics.tmHeight;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = labelWidth;
        info.bmiHeader.biHeight = -height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        const HBITMAP bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        EXPECT_NE(bitmap, nullptr);
        if (bitmap == nullptr) return fit;
        const HGDIOBJ oldBitmap = ::SelectObject(m_dc, bitmap);
        RECT all{0, 0, labelWidth, height};
        ::FillRect(m_dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SetTextColor(m_dc, RGB(0, 0, 0));
        ::SetBkMode(m_dc, TRANSPARENT);
        ::DrawTextW(m_dc, text.c_str(), -1, &all, kLabelFormat);
        ::GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < labelWidth; ++x) {
                if ((pixels[y * labelWidth + x] & 0xFFFFFF) == 0xFFFFFF) continue;
                bool hidden = y >= labelHeight;
                for (const RECT& button : covered)
                    hidden = hidden || (x >= button.left && x < button.right && y >= button.top &&
                                        y < button.bottom);
                fit.hiddenInk = fit.hiddenInk || hidden;
            }
        ::SelectObject(m_dc, oldBitmap);
        ::DeleteObject(bitmap);
        return fit;
    }

private:
    HDC m_dc;
    UniqueFont m_font;
    HGDIOBJ m_oldFont = nullptr;
    TEXTMETRICW m_metrics{};
};

// The stage's Label2 text measured at `dpi` against what its buttons leave visible.
Fit MeasureStage(Canvas& canvas, const DialogView& view, int dpi)
{
    const PixelRect label = ToClientPixels(LayoutOf(kLabel2).twips, dpi);
    std::vector<RECT> covered;
    const auto cover = [&](const TwipsRect& twips) {
        const PixelRect button = ToClientPixels(twips, dpi);
        covered.push_back({button.left - label.left, button.top - label.top,
                           button.left + button.width - label.left,
                           button.top + button.height - label.top});
    };
    if (view.yesVisible) cover(LayoutOf(kCmdYes).twips);
    if (view.noVisible) cover(view.noRect);
    return canvas.Measure(view.label2, label.width, label.height, covered);
}

std::wstring NameOfLength(std::size_t length) // "VeryLongEdit.exe" and the like
{
    const std::wstring letters = L"VeryLongEditorName2026VeryLongEditorName2026";
    return letters.substr(0, length - 4) + L".exe";
}

constexpr int kDpis[] = {96, 120, 144};

TEST(Label2Text, EveryStageIsWhollyVisibleAtEachDpi)
{
    for (const int dpi : kDpis) {
        Canvas canvas(dpi);
        if (!canvas.HasTheFaceAskedFor())
            GTEST_SKIP() << "no MS PGothic on this system: the labels show " << canvas.Face();
        std::printf("%3d dpi: measured in %ls\n", dpi, canvas.Face().c_str());
        const struct {
            std::wstring editor;
            bool inConfirmation;
        } editors[] = {
            {L"C:\\Program Files\\sakura\\sakura.exe", true},
            // Too long for the confirmation (see the next test), not for the other stages.
            {L"C:\\Tools\\VeryLongEditorName2026.exe", false},
        };
        for (const auto& [editor, inConfirmation] : editors) {
            for (const Stage& stage : StagesFor(editor)) {
                if (!inConfirmation && stage.name.starts_with("registered")) continue;
                const bool refusal = stage.name != "waiting" && stage.name != "asking" &&
                                     !stage.name.starts_with("registered");
                EXPECT_EQ(stage.view.label2.starts_with(kStoreFailedMessage), refusal)
                    << stage.name << " is not the stage it is named after";
                const Fit fit = MeasureStage(canvas, stage.view, dpi);
                std::printf("%3d dpi, %-22s %-27ls %3d of %3d px high, %d line(s)%s\n", dpi,
                            stage.name.c_str(), FileNameOf(editor).data(), fit.height,
                            fit.labelHeight, fit.lines, fit.Fits() ? "" : ", HIDDEN");
                EXPECT_TRUE(fit.Fits()) << stage.name << " at " << dpi << " dpi";
            }
        }
    }
}

// The confirmation holds the file name on its first line; a longer name takes another line, and
// the note's last words then slip under Close. Names up to 19 characters fit at every DPI.
TEST(Label2Text, TheConfirmationHoldsFileNamesOfUpToNineteenCharacters)
{
    for (const int dpi : kDpis) {
        Canvas canvas(dpi);
        if (!canvas.HasTheFaceAskedFor())
            GTEST_SKIP() << "no MS PGothic on this system: the labels show " << canvas.Face();
        std::size_t longest = 0;
        for (std::size_t length = 5; length <= 40; ++length) {
            bool fits = true;
            const std::wstring path = L"C:\\Tools\\" + NameOfLength(length);
            for (const InstallKind kind : {InstallKind::Copy, InstallKind::Redirect})
                fits = fits && MeasureStage(canvas, Reach(kind, path, path), dpi).Fits();
            if (!fits) break;
            longest = length;
        }
        std::printf("%3d dpi: the confirmation fits file names of up to %zu characters\n", dpi,
                    longest);
        EXPECT_GE(longest, 19u) << dpi << " dpi";
        EXPECT_LT(longest, 40u) << "the measure found nothing too long: it cannot tell";
    }
}

} // namespace
} // namespace zn
