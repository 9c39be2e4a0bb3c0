// The registry reader and writer. Registry failures are results, never raised errors.
#pragma once

#include "common/boolean.h"
#include "settings/variant_value.h"

#include <windows.h>

#include <string_view>

namespace zn {

// The default value of the subkey `subkeyName` of root\keyPath (of root\keyPath itself when
// `subkeyName` is empty), never a named value. Returns the text, up to its first NUL and of any
// length; the empty text when the key has no default value; Empty when a key cannot be opened,
// the value cannot be read or is not REG_SZ. `status`, when given, receives the registry's code
// of the step that failed: ERROR_FILE_NOT_FOUND for a missing key or a missing default value,
// ERROR_ACCESS_DENIED for a key the user may not read, and so on; ERROR_SUCCESS when the value
// was read (also when it is not text). Opens and closes its keys within the call.
VariantValue ReadRegDefault(HKEY root, std::wstring_view keyPath, std::wstring_view subkeyName,
                            LSTATUS* status = nullptr);

// Stores `value` under `valueName` (empty: the default value) in root\keyPath, creating the key
// and every missing level, with the registry type chosen by EncodeForRegistry. True only when
// the key was opened, the value stored and the key closed, each successfully; `status`, when
// given, receives the registry's code of the first step that failed (ERROR_SUCCESS when none
// did). Throws the encoding errors of EncodeForRegistry before touching the registry.
Boolean WriteRegValue(HKEY root, std::wstring_view keyPath, std::wstring_view valueName,
                      const VariantValue& value, LSTATUS* status = nullptr);

} // namespace zn
