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

VariantValue ReadRegDefault(HKEY root, std::wstring_view subkey, std::wstring_view name)
{
    UniqueHkey key;
    if (::RegOpenKeyExW(root, std::wstring(subkey).c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
        return Empty{};
    if (!name.empty()) {
        UniqueHkey named;
        if (::RegOpenKeyExW(key.get(), std::wstring(name).c_str(), 0, KEY_READ, named.put()) !=
            ERROR_SUCCESS)
            return Empty{};
        key = std::move(named);
    }

    std::array<std::uint8_t, kInlineBytes> inlineBuffer;
    std::vector<std::uint8_t> heapBuffer;
    std::uint8_t* data = inlineBuffer.data();
    DWORD type = REG_NONE;
    DWORD size = kInlineBytes;
    LSTATUS status = ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, data, &size);
    // The value may grow between two queries; a few rounds settle it.
    for (int round = 0; status == ERROR_MORE_DATA && round < 4; ++round) {
        heapBuffer.resize(size);
        data = heapBuffer.data();
        status = ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, data, &size);
    }
    if (status == ERROR_FILE_NOT_FOUND) return std::wstring(); // the key has no default value
    if (status != ERROR_SUCCESS) return Empty{};
    return DecodeDefaultValue(type, {data, size});
}

Boolean WriteRegValue(HKEY root, std::wstring_view subkey, std::wstring_view name,
                      const VariantValue& value)
{
    const EncodedValue encoded = EncodeForRegistry(value);

    // Non-volatile: the launcher must find the setting again after the user logs off.
    UniqueHkey key;
    if (::RegCreateKeyExW(root, std::wstring(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return kFalse;
    const bool stored = ::RegSetValueExW(key.get(), std::wstring(name).c_str(), 0, encoded.type,
                                         encoded.bytes.data(),
                                         static_cast<DWORD>(encoded.bytes.size())) == ERROR_SUCCESS;
    const bool closed = ::RegCloseKey(key.release()) == ERROR_SUCCESS;
    return Boolean{stored && closed};
}

} // namespace zn
