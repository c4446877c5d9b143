#pragma once
// One owner for every handle, descriptor and system allocation: move-only, it closes what it
// holds exactly once, and it knows what "nothing" is for its kind, so a close function never
// sees an empty or invalid value.

#include <utility>

namespace tamrick {

// Traits tell the owner about one kind of value:
//   using Type = ...;                       the value held
//   static Type Empty() noexcept;           what an owner holds when it holds nothing
//   static bool IsValid(Type) noexcept;     false for every value that must not be closed
//   void Close(Type) const noexcept;        may be static; traits may carry state, such as a
//                                           close function found at run time
template <class Traits> class UniqueResource {
  public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value, Traits traits = Traits{}) noexcept
        : value_(value), traits_(std::move(traits)) {}
    UniqueResource(UniqueResource&& other) noexcept
        : value_(other.release()), traits_(std::move(other.traits_)) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
            traits_ = std::move(other.traits_);
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }

    // Gives the value up without closing it.
    Type release() noexcept { return std::exchange(value_, Traits::Empty()); }
    // Closes what is held, if anything, and holds `value` instead.
    void reset(Type value = Traits::Empty()) noexcept {
        const Type old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            traits_.Close(old);
        }
    }
    // For functions that hand a new value out through a pointer; what was held is closed first.
    Type* put() noexcept {
        reset();
        return &value_;
    }

  private:
    Type value_ = Traits::Empty();
    [[no_unique_address]] Traits traits_{};
};

// The common kind: closed by one function, empty when it equals one value.
template <typename T, auto CloseFunction, T EmptyValue = T{}> struct ClosedBy {
    using Type = T;
    static constexpr T Empty() noexcept { return EmptyValue; }
    static bool IsValid(T value) noexcept { return value != EmptyValue; }
    static void Close(T value) noexcept { CloseFunction(value); }
};

template <typename T, auto CloseFunction, T EmptyValue = T{}>
using UniqueValue = UniqueResource<ClosedBy<T, CloseFunction, EmptyValue>>;

// A kind closed by a function found at run time, such as one of a DLL loaded by name; empty
// when it equals T{}.
template <typename T, typename CloseFunction> struct ClosedByFound {
    using Type = T;
    CloseFunction close = nullptr;
    static constexpr T Empty() noexcept { return T{}; }
    static bool IsValid(T value) noexcept { return value != T{}; }
    void Close(T value) const noexcept { close(value); }
};

} // namespace tamrick
