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

} // namespace
} // namespace zn
