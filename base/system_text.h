#pragma once
// The system's own text for an error code (a Win32 error or an HRESULT). Free of exceptions: the
// setup program uses it too.

#include <cstdint>
#include <string>

namespace tamrick {

// The system's text, trailing white space removed; where the system has none, a text that names
// the code, so that nobody is ever shown an empty reason.
std::wstring SystemErrorText(std::uint32_t code);

} // namespace tamrick
