// Where the program opens its registration window.
#pragma once

#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

namespace zn::e2e {

// Placeholder until the registration window is built: the program ends with exit code 90
// where the window would open.
inline void ExpectRegistrationWindowThenClose(Process& process)
{
    EXPECT_EQ(process.Wait(), 90);
}

} // namespace zn::e2e
