// The code of the AppError that `call` raises, or 0 when it raises none.
#pragma once

#include "common/app_error.h"

#include <cstdint>

namespace zn {

template <class Call> std::uint32_t ErrorCodeOf(Call&& call)
{
    try {
        call();
    } catch (const AppError& error) {
        return error.code;
    }
    return 0;
}

} // namespace zn
