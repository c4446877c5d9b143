#pragma once
// One instance of a program at a time, per executable path.

#include "base/handles.h"

#include <string>
#include <string_view>

namespace tamrick {

// The lock for the executable (and `kind`, for a second kind of program of ours); empty when
// another instance holds it, or when it can't be opened, which means the same.
UniqueHandle AcquireInstanceLock(const std::wstring& executablePath, std::wstring_view kind = {});

} // namespace tamrick
