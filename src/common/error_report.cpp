#include "common/error_report.h"

#include "common/decimal.h"

namespace zn {
namespace {

std::wstring Hex(std::uint32_t value)
{
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return L"0x" + text;
}

} // namespace

std::wstring ReasonText(std::uint32_t code, std::wstring_view systemReason)
{
    // FormatMessage ends its text with a line break; whoever shows the reason adds their own.
    while (!systemReason.empty() && (systemReason.back() == L'\n' || systemReason.back() == L'\r' ||
                                     systemReason.back() == L' '))
        systemReason.remove_suffix(1);
    std::wstring text = L"理由: ";
    text += systemReason.empty() ? std::wstring_view(L"不明") : systemReason;
    text += L" (エラー " + ToDecimal(code) + L")";
    return text;
}

std::wstring FormatErrorReport(const AppError& error, std::wstring_view systemReason)
{
    std::wstring text = error.what;
    if (!error.path.empty()) text += L"\r\n" + error.path;
    if (IsWin32ErrorCode(error.code)) {
        text += L"\r\n\r\n" + ReasonText(error.code, systemReason);
    } else {
        text += L"\r\n\r\n(エラー " + Hex(error.code) + L")";
    }
    if (!error.advice.empty()) text += L"\r\n" + error.advice;
    return text;
}

} // namespace zn
