#pragma once
// Errors are raised, not returned: every failing operation throws Error, and the one place
// that handles it picks its message by number.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace tamrick {

// "An automation object cannot be created".
inline constexpr std::int32_t kErrCantCreateObject = 429;
// "File not found".
inline constexpr std::int32_t kErrFileNotFound = 53;
// Basic's "Object variable not set": a call on a connection that isn't open.
inline constexpr std::int32_t kErrObjectNotSet = 91;
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrInternal = 51;

class Error : public std::exception {
  public:
    Error(std::int32_t number, std::wstring description)
        : number_(number), description_(std::move(description)) {}

    std::int32_t number() const noexcept { return number_; }
    const std::wstring& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "tamrick::Error"; }

  private:
    std::int32_t number_;
    std::wstring description_;
};

// Inside a catch block: the exception being handled, as an Error. Ours stay as they are;
// running out of memory is 7, any other exception 51, an internal error, as Basic numbers them.
Error CurrentExceptionAsError() noexcept;

// The text of the report for an error that nothing handled.
std::wstring UnhandledErrorText(std::int32_t number, std::wstring_view description);

} // namespace tamrick
