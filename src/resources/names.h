// The names the program gives itself in its version resource, in the one place that the
// resource and the code both read. Every version of the program carries this InternalName and
// ProductName, and set-up and the launcher tell a copy of the program from any other file by
// them. Plain preprocessor definitions, so that the resource compiler can read them too.
#pragma once

#define ZN_INTERNAL_NAME "ZanvekNotepad"
#define ZN_PRODUCT_NAME "ZanvekNotepad"
#define ZN_ORIGINAL_FILENAME "ZanvekNotepad.exe"

// A narrow string literal macro as a wide one, for the code.
#define ZN_WIDE_(text) L##text
#define ZN_WIDE(text) ZN_WIDE_(text)
