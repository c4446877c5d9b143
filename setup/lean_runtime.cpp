// The setup program catches no exception: where the C++ library would throw (a string beyond
// any size, memory exhausted), the program ends at once. Defining the library's throw points
// here keeps its exception objects, thread support and demangler out of the program, which
// would otherwise make up almost half of it.

#include <cstdlib>
#include <new>
#include <string>

namespace std {

void __throw_bad_alloc() {
    abort();
}
void __throw_bad_array_new_length() {
    abort();
}
void __throw_length_error(const char* /*what*/) {
    abort();
}
void __throw_logic_error(const char* /*what*/) {
    abort();
}
void __throw_out_of_range_fmt(const char* /*format*/, ...) {
    abort();
}
void __throw_bad_function_call() {
    abort();
}

} // namespace std

namespace __gnu_cxx {

// What the library calls on an uncaught exception: without the demangled type's name.
void __verbose_terminate_handler();
void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
