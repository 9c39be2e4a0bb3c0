#include "setup/access_advice.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(AccessDeniedAdvice, AsksForAdministratorRightsOnlyWhereTheyAreMissing)
{
    const struct {
        bool elevated;
        std::wstring owner, program, advice;
    } rows[] = {
        {false, L"NT SERVICE\\TrustedInstaller", L"", L"管理者として実行してください。"},
        {false, L"", L"notepad.exe", L"管理者として実行してください。"},
        {true, L"NT SERVICE\\TrustedInstaller", L"",
         L"管理者として実行していますが、アクセス許可により拒否されました。 (所有者: NT "
         L"SERVICE\\TrustedInstaller)"},
        {true, L"", L"", L"管理者として実行していますが、アクセス許可により拒否されました。"},
        {true, L"BUILTIN\\Administrators", L"notepad.exe",
         L"実行中の notepad.exe は置き換えも削除もできません。閉じてから、もう一度実行してくだ"
         L"さい。 (所有者: BUILTIN\\Administrators)"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AccessDeniedAdvice(row.elevated, row.owner, row.program), row.advice);
}

} // namespace
} // namespace zn
