#include "setup/registry_store.h"

#include "common/app_error.h"
#include "settings/registry_codec.h"

#include <algorithm>
#include <optional>

namespace zn {
namespace {

constexpr std::uint32_t kRegExpandSz = 2; // REG_EXPAND_SZ

void Carry(RegistryStore& store, const RegistryChange& change)
{
    switch (change.kind) {
    case RegistryChange::Kind::CreateKey: store.CreateKey(change.key); break;
    case RegistryChange::Kind::SetValue: store.SetValue(change.key, change.value); break;
    case RegistryChange::Kind::DeleteValue: store.DeleteValue(change.key, change.value.name); break;
    case RegistryChange::Kind::DeleteKey: store.DeleteKeyIfEmpty(change.key); break;
    }
}

std::optional<RegistryValue> ValueNow(RegistryStore& store, const RegistryChange& change)
{
    const RegistryKey key = store.ReadKey(change.key);
    const RegistryValue* value = FindValue(key.values, change.value.name);
    return value != nullptr ? std::optional<RegistryValue>(*value) : std::nullopt;
}

// Makes `change` and says what would put it back; nullopt when it changed nothing.
std::optional<RegistryChange> Make(RegistryStore& store, const RegistryChange& change)
{
    using Kind = RegistryChange::Kind;
    switch (change.kind) {
    case Kind::CreateKey:
        if (!store.CreateKey(change.key)) return std::nullopt;
        return RegistryChange{Kind::DeleteKey, change.key, {}};
    case Kind::SetValue: {
        // Read first: the undo must give back exactly what was there, whatever the plan saw.
        const std::optional<RegistryValue> before = ValueNow(store, change);
        store.SetValue(change.key, change.value);
        if (before) return RegistryChange{Kind::SetValue, change.key, *before};
        return RegistryChange{Kind::DeleteValue, change.key, {change.value.name, 0, {}}};
    }
    case Kind::DeleteValue: {
        const std::optional<RegistryValue> before = ValueNow(store, change);
        if (!before || !store.DeleteValue(change.key, change.value.name)) return std::nullopt;
        return RegistryChange{Kind::SetValue, change.key, *before};
    }
    case Kind::DeleteKey:
        if (!store.DeleteKeyIfEmpty(change.key)) return std::nullopt;
        return RegistryChange{Kind::CreateKey, change.key, {}};
    }
    return std::nullopt;
}

} // namespace

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b)
{
    const auto fold = [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

std::wstring JoinKey(std::wstring_view parent, std::wstring_view child)
{
    if (parent.empty()) return std::wstring(child);
    if (child.empty()) return std::wstring(parent);
    return std::wstring(parent) + L"\\" + std::wstring(child);
}

const RegistryValue* FindValue(const std::vector<RegistryValue>& values, std::wstring_view name)
{
    for (const RegistryValue& value : values)
        if (SameIgnoringCase(value.name, name)) return &value;
    return nullptr;
}

bool IsText(const RegistryValue& value)
{
    return value.type == kRegSz || value.type == kRegExpandSz;
}

std::wstring TextOf(const RegistryValue& value)
{
    return TrimNull(DecodeUtf16(value.bytes));
}

void ApplyAllOrNothing(RegistryStore& store, const std::vector<RegistryChange>& changes)
{
    std::vector<RegistryChange> undo;
    try {
        for (const RegistryChange& change : changes)
            if (const std::optional<RegistryChange> back = Make(store, change))
                undo.push_back(*back);
    } catch (...) {
        std::wstring left;
        for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
            try {
                Carry(store, *it);
            } catch (const AppError& undoError) {
                left += L"\r\n" + undoError.path;
            } catch (...) {
                left += L"\r\n" + it->key;
            }
        }
        if (left.empty()) throw;
        try {
            throw;
        } catch (AppError& error) {
            if (!error.advice.empty()) error.advice += L"\r\n";
            error.advice += L"次の場所は元に戻せませんでした。確認してください:" + left;
            throw;
        }
    }
}

} // namespace zn
