#include "common/error_report.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(ErrorReport, NamesWhatFailedThePathAndTheSystemReason)
{
    const AppError error(5, L"ファイルを削除できませんでした。", L"C:\\windows\\notepad.exe");
    EXPECT_EQ(FormatErrorReport(error, L"Access denied.\r\n"),
              L"ファイルを削除できませんでした。\r\nC:\\windows\\notepad.exe\r\n\r\n"
              L"理由: Access denied. (エラー 5)");
}

TEST(ErrorReport, AdviceComesLastAndAMissingReasonIsSaidToBeUnknown)
{
    const AppError error(1314, L"コピーできません。", L"", L"管理者として実行してください。");
    EXPECT_EQ(
        FormatErrorReport(error, L""),
        L"コピーできません。\r\n\r\n理由: 不明 (エラー 1314)\r\n管理者として実行してください。");
}

TEST(ErrorReport, OwnErrorsShowTheirCodeInHexAndNoSystemReason)
{
    const AppError error(kErrorConversion, L"値 (Null) を変換できません。");
    EXPECT_EQ(FormatErrorReport(error, L"ignored"),
              L"値 (Null) を変換できません。\r\n\r\n(エラー 0x2000000D)");
}

// The system's texts for some errors are written for FormatMessage's arguments, which no
// program passes for another's error: the report fills them in or leaves them out.
TEST(ErrorReport, TheSystemsInsertsGetTheFilesNameOrNothing)
{
    const struct {
        std::wstring_view reason, filled;
    } rows[] = {
        {L"Bad EXE format for %1.", L"Bad EXE format for ed.exe."},
        {L"%1 の EXE フォーマットが不正です。", L"ed.exe の EXE フォーマットが不正です。"},
        {L"Cannot move %1 to %2.", L"Cannot move ed.exe to ."},
        {L"%1!s! and %12!d!: %1", L"ed.exe and : ed.exe"},
        {L"100% sure, %0 and %a stay", L"100% sure, %0 and %a stay"},
        {L"%1!s", L"ed.exe!s"}, // no closing "!": no format
    };
    for (const auto& row : rows)
        EXPECT_EQ(FillInserts(row.reason, L"ed.exe"), row.filled) << std::wstring(row.reason);

    // The name is that of the file of the error's path; where it names two, the first's.
    const AppError start(193, L"エディタを起動できませんでした。", L"C:\\Tools\\ed.exe");
    EXPECT_EQ(FormatErrorReport(start, L"Bad EXE format for %1.\r\n"),
              L"エディタを起動できませんでした。\r\nC:\\Tools\\ed.exe\r\n\r\n"
              L"理由: Bad EXE format for ed.exe. (エラー 193)");
    const AppError copy(193, L"コピーできません。", L"C:\\a\\from.exe\r\n→ C:\\b\\to.exe");
    EXPECT_NE(FormatErrorReport(copy, L"%1 %2").find(L"理由: from.exe (エラー 193)"),
              std::wstring::npos);
}

} // namespace
} // namespace zn
