// The records that only the setup program writes: a file of their own, since a program carries
// every function of each file it uses.

#include "log.h"

namespace tamrick {

void ProgramLog::Unpack(std::wstring_view folder, std::wstring_view protection) {
    Write({L"unpack", folder, protection});
}

void ProgramLog::Run(std::wstring_view path, std::wstring_view arguments) {
    Write({L"run", path, arguments});
}

} // namespace tamrick
