#include "settings/editor_setting.h"

#include "common/app_error.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

// Only a setting that is not there means "no editor"; one that cannot be read is reported.
TEST(EditorSetting, OnlyAMissingKeyOrValueMeansNoEditor)
{
    constexpr std::uint32_t kSuccess = 0, kNotFound = 2, kAccessDenied = 5, kMoreData = 234;
    const struct {
        VariantValue value;
        std::uint32_t status;
        std::optional<std::wstring> path; // none: reported with the status as its code
    } rows[] = {
        {std::wstring(L"C:\\Tools\\ed.exe"), kSuccess, L"C:\\Tools\\ed.exe"},
        {Empty{}, kNotFound, L""},        // no key
        {std::wstring(), kNotFound, L""}, // a key without a default value
        {Empty{}, kSuccess, L""},         // a default value that is not text
        {Empty{}, kAccessDenied, std::nullopt},
        {Empty{}, kMoreData, std::nullopt}, // still growing after several reads
    };
    for (const auto& row : rows) {
        try {
            const std::wstring path = EditorPathFromRead(row.value, row.status);
            EXPECT_EQ(std::optional(path), row.path) << row.status;
        } catch (const AppError& error) {
            EXPECT_FALSE(row.path) << row.status;
            EXPECT_EQ(error.code, row.status);
            EXPECT_EQ(error.path, L"HKEY_CURRENT_USER\\Software\\Kestrane\\ZanvekNOTEPAD");
        }
    }
}

} // namespace
} // namespace zn
