// The program's version, in the one place that the version resource and the window caption
// both read. Plain preprocessor definitions, so that the resource compiler can read them too.
#pragma once

#define ZN_VERSION_MAJOR 1
#define ZN_VERSION_MINOR 1
#define ZN_VERSION_REVISION 0
// The version text of the resource's strings: major "." minor in two digits.
#define ZN_VERSION_TEXT "1.01"
