#pragma once
// The system's own text for an error code (a Win32 error or an HRESULT).

#include <cstdint>
#include <string>

namespace tamrick {

// Empty when the system has no text for the code; trailing white space removed.
std::wstring SystemMessageText(std::uint32_t code);

} // namespace tamrick
