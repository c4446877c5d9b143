#pragma once

#include "startup/shared_state.h"

namespace tamrick {

// A required item's failure ends the installation; the run compares the field exactly.
inline bool IsRequired(const FileItem& item) {
    return item.Required == L"1";
}

} // namespace tamrick
