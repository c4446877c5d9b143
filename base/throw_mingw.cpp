// The C++ runtime raises its containers' errors through these functions. Its own copies share
// one object file with every standard exception type and, through them, a second complete
// string library: about a fifth of the installer. These raise the same kinds of error without
// it. Running out of memory stays std::bad_alloc, which the program handles as such; a length
// or position out of range, a programming error, is a plain std::exception and reaches the
// same handlers as the standard types did.

#include <bits/functexcept.h>

#include <exception>
#include <new>

namespace {

class LibraryError final : public std::exception {
  public:
    explicit LibraryError(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

  private:
    const char* what_;
};

} // namespace

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char* what) {
    throw LibraryError(what);
}

void __throw_logic_error(const char* what) {
    throw LibraryError(what);
}

void __throw_out_of_range_fmt(const char* what, ...) {
    throw LibraryError(what);
}

} // namespace std
