#include "window/registration_texts.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(ExecutableTest, TheLastThreeCharactersAreExeInAnyCase)
{
    const struct {
        std::wstring_view text;
        bool passes;
    } rows[] = {
        {L"C:\\Tools\\Editor.EXE", true},
        {L"C:\\Tools\\editor.exe", true},
        {L"C:\\Tools\\editor.ExE", true},
        {L"C:\\Tools\\notepadexe", true}, // no dot needed
        {L"eXe", true},
        {L"C:\\Tools\\editor.exe ", false}, // nothing may follow
        {L"C:\\Tools\\readme.txt", false},
        {L"C:\\Tools\\editor.ex", false},
        {L"xe", false},
        {L"", false},
        {L"C:\\Tools\\editor.exe\\", false},
        {L"C:\\Tools\\editor.Еxe", false}, // a Cyrillic Е is not an e
    };
    for (const auto& row : rows)
        EXPECT_EQ(PassesExecutableTest(row.text), row.passes) << std::wstring(row.text);
}

TEST(FileName, IsEverythingAfterTheLastBackslash)
{
    EXPECT_EQ(FileNameOf(L"C:\\Tools\\Editor.EXE"), L"Editor.EXE");
    EXPECT_EQ(FileNameOf(L"editor.exe"), L"editor.exe");           // no backslash: the whole text
    EXPECT_EQ(FileNameOf(L"C:\\Tools\\"), L"");                    // a trailing backslash: empty
    EXPECT_EQ(FileNameOf(L"C:/Tools/ed.exe"), L"C:/Tools/ed.exe"); // a slash does not separate
    EXPECT_EQ(FileNameOf(L""), L"");
}

TEST(Caption, HasNothingBetweenMinorAndRevision)
{
    EXPECT_EQ(WindowCaption(1, 1, 0), L"ZanvekNotePad V1.10");
    EXPECT_EQ(WindowCaption(2, 5, 3), L"ZanvekNotePad V2.53");
    EXPECT_EQ(WindowCaption(1, 12, 305), L"ZanvekNotePad V1.12305");
}

TEST(Messages, NameTheFileAndKeepTheirExactTexts)
{
    EXPECT_EQ(DropQuestion(L"C:\\Tools\\Editor.EXE"), L"Editor.EXEを登録してよろしいですか？");
    const struct {
        InstallKind kind;
        std::wstring_view text, message;
    } rows[] = {
        {InstallKind::Copy, L"C:\\Tools\\ed.exe",
         L"次回から、メモ帳の変わりにed.exeを起動します\r\n"
         L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
         L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。"},
        {InstallKind::Redirect, L"C:\\Tools\\ed.exe",
         L"次回から、メモ帳の変わりにed.exeを起動します\r\n"
         L"本来のNotePad.exe は、そのまま残ります。"
         L"WindowsフォルダのZanvekNotepad.exeを消去するとメモ帳が起動できなくなります。"
         L"注意してください。"},
        {InstallKind::Copy, L"",
         L"次回から、メモ帳の変わりにを起動します\r\n"
         L"本来のNotePad.exe は、NotePad.metとしてバックアップされます。"
         L"このファイルを消去すると正常にアンインストールできなくなります。注意してください。"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ConfirmationMessage(row.text, row.kind), row.message);
        // Both notes in one style: exactly one space, after "NotePad.exe".
        const std::wstring_view note = row.message.substr(row.message.find(L"\r\n") + 2);
        EXPECT_EQ(std::count(note.begin(), note.end(), L' '), 1);
        EXPECT_EQ(note.find(L' '), note.find(L"NotePad.exe") + 11);
    }
    EXPECT_EQ(StoreFailedMessage(L"理由: 不明 (エラー 1)"),
              L"登録できませんでした。\r\n理由: 不明 (エラー 1)");
}

} // namespace
} // namespace zn
