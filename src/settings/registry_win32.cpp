#include "settings/registry_win32.h"

#include "common/unique_handle.h"
#include "settings/registry_codec.h"

#include <array>
#include <string>
#include <vector>

namespace zn {
namespace {

// Paths of the usual length are read in one query into this; longer ones are read whole.
constexpr DWORD kInlineBytes = 520;

} // namespace

VariantValue ReadRegDefault(HKEY root, std::wstring_view keyPath, std::wstring_view subkeyName,
                            LSTATUS* status)
{
    LSTATUS ignored = ERROR_SUCCESS;
    LSTATUS& result = status != nullptr ? *status : ignored;
    UniqueHkey key;
    result = ::RegOpenKeyExW(root, std::wstring(keyPath).c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (result != ERROR_SUCCESS) return Empty{};
    if (!subkeyName.empty()) {
        UniqueHkey subkey;
        result = ::RegOpenKeyExW(key.get(), std::wstring(subkeyName).c_str(), 0, KEY_QUERY_VALUE,
                                 subkey.put());
        if (result != ERROR_SUCCESS) return Empty{};
        key = std::move(subkey);
    }

    std::array<std::uint8_t, kInlineBytes> inlineBuffer;
    std::vector<std::uint8_t> heapBuffer;
    std::uint8_t* data = inlineBuffer.data();
    DWORD type = REG_NONE;
    DWORD size = kInlineBytes;
    result = ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, data, &size);
    // The value may grow between two queries; a few rounds settle it.
    for (int round = 0; result == ERROR_MORE_DATA && round < 4; ++round) {
        heapBuffer.resize(size);
        data = heapBuffer.data();
        result = ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, data, &size);
    }
    if (result == ERROR_FILE_NOT_FOUND) return std::wstring(); // the key has no default value
    if (result != ERROR_SUCCESS) return Empty{};
    return DecodeDefaultValue(type, {data, size});
}

Boolean WriteRegValue(HKEY root, std::wstring_view keyPath, std::wstring_view valueName,
                      const VariantValue& value, LSTATUS* status)
{
    const EncodedValue encoded = EncodeForRegistry(value);
    LSTATUS ignored = ERROR_SUCCESS;
    LSTATUS& result = status != nullptr ? *status : ignored;

    // Non-volatile: the launcher must find the setting again after the user logs off. Only the
    // right to set a value is asked for: a key the user may write but not administer still works.
    UniqueHkey key;
    result = ::RegCreateKeyExW(root, std::wstring(keyPath).c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (result != ERROR_SUCCESS) return kFalse;
    result = ::RegSetValueExW(key.get(), std::wstring(valueName).c_str(), 0, encoded.type,
                              encoded.bytes.data(), static_cast<DWORD>(encoded.bytes.size()));
    const LSTATUS closed = ::RegCloseKey(key.release());
    if (result == ERROR_SUCCESS) result = closed;
    return Boolean{result == ERROR_SUCCESS};
}

} // namespace zn
