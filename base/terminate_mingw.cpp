// The C++ runtime's default terminate handler prints the demangled name of the exception to a
// console that a windowed program does not have, and brings the whole demangler (a sixth of the
// installer's code) with it. Ours ends the program the same way without printing.

#include <cstdlib>

namespace __gnu_cxx {

// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, which this replaces
[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
