// The setup program catches no exception: where the C++ library would throw (a string beyond
// any size, memory exhausted), the program ends at once. Defining the library's throw points and
// the global allocation here keeps its exception objects, unwinder, thread support (winpthread,
// which imports functions that Windows XP lacks) and demangler out of the program, which would
// otherwise make up half of it.

#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

void* operator new(std::size_t size) {
    void* memory = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    if (memory == nullptr) {
        std::abort();
    }
    return memory;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    if (memory != nullptr) {
        HeapFree(GetProcessHeap(), 0, memory);
    }
}
void operator delete[](void* memory) noexcept {
    operator delete(memory);
}
void operator delete(void* memory, std::size_t /*size*/) noexcept {
    operator delete(memory);
}
void operator delete[](void* memory, std::size_t /*size*/) noexcept {
    operator delete(memory);
}

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
// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, which this replaces
void __verbose_terminate_handler();
// NOLINTNEXTLINE(bugprone-reserved-identifier): as above
void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
