#include "setup/access_advice.h"

namespace zn {

std::wstring AccessDeniedAdvice(bool elevated, std::wstring_view owner, std::wstring_view program)
{
    if (!elevated) return std::wstring(kRunAsAdministratorAdvice);
    const std::wstring byOwner =
        owner.empty() ? std::wstring() : L" (所有者: " + std::wstring(owner) + L")";
    if (!program.empty())
        return L"実行中の " + std::wstring(program) +
               L" は置き換えも削除もできません。閉じてから、もう一度実行してください。" + byOwner;
    return L"管理者として実行していますが、アクセス許可により拒否されました。" + byOwner;
}

} // namespace zn
