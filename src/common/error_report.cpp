#include "common/error_report.h"

#include "common/decimal.h"
#include "common/file_names.h"

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

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

} // namespace

std::wstring FillInserts(std::wstring_view text, std::wstring_view fileName)
{
    std::wstring filled;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'%' || i + 1 >= text.size() || !IsDigit(text[i + 1]) ||
            text[i + 1] == L'0') {
            filled += text[i++];
            continue;
        }
        std::size_t end = i + 2;
        int number = text[i + 1] - L'0';
        if (end < text.size() && IsDigit(text[end])) number = number * 10 + (text[end++] - L'0');
        if (end < text.size() && text[end] == L'!') {
            const std::size_t closing = text.find(L'!', end + 1);
            if (closing != std::wstring_view::npos) end = closing + 1;
        }
        if (number == 1) filled += fileName;
        i = end;
    }
    return filled;
}

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
        const std::wstring_view path =
            std::wstring_view(error.path).substr(0, error.path.find(L'\r'));
        text += L"\r\n\r\n" + ReasonText(error.code, FillInserts(systemReason, FileNamePart(path)));
    } else {
        text += L"\r\n\r\n(エラー " + Hex(error.code) + L")";
    }
    if (!error.advice.empty()) text += L"\r\n" + error.advice;
    return text;
}

} // namespace zn
