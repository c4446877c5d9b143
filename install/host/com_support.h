#pragma once
// Owning types and error helpers for talking to automation servers. The stand-in host uses them
// too, so both sides of the tests speak through the same small vocabulary.

#include "base/unique_resource.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tamrick {

// The host's application class and its two dual interfaces.
inline constexpr CLSID kHostApplicationClsid{
    0x4A110001, 0x2109, 0x4B5D, {0xBC, 0x63, 0x17, 0xAE, 0x89, 0x14, 0xE3, 0x84}};
inline constexpr IID kHostApplicationIid{
    0x398C0002, 0x8D24, 0x11D2, {0x89, 0xE7, 0x00, 0x00, 0x86, 0x1E, 0xBB, 0xD6}};
inline constexpr IID kHostGmsManagerIid{
    0x398C0030, 0x8583, 0x4382, {0xB9, 0xA1, 0x4B, 0xDF, 0x34, 0x75, 0x94, 0xAC}};

using Bstr = UniqueValue<BSTR, &::SysFreeString>;

// Throws on allocation failure, so a null Bstr always means an empty string was given.
Bstr MakeBstr(std::wstring_view text);
// A null BSTR is the empty string.
std::wstring FromBstr(BSTR text);

class Variant {
  public:
    Variant() noexcept { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }

  private:
    VARIANT value_;
};

// Frees the strings that a server filled in.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() noexcept : EXCEPINFO{} {}
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
};

// COM on the calling thread, for the owner's lifetime: a single-threaded apartment for a thread
// with windows, the multithreaded one for a thread that only makes calls. A thread that is
// already in an apartment keeps it, and only our own initialisation is undone; where COM can't
// be started at all, creating the host later fails with 429.
class ComApartment {
  public:
    enum class Model { SingleThreaded, MultiThreaded };
    explicit ComApartment(Model model = Model::SingleThreaded) noexcept;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_ = false;
};

} // namespace tamrick
