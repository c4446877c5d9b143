#pragma once
// A number's decimal digits, as std::to_wstring writes them. MinGW's to_wstring goes through its
// own printf, which brings float formatting along: some 22 KB that the shipped programs never use.

#include <string>

namespace tamrick {

inline std::wstring DecimalText(unsigned long long value) {
    wchar_t digits[20];
    wchar_t* at = digits + 20;
    do {
        *--at = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(at, digits + 20);
}

inline std::wstring DecimalText(long long value) {
    // The magnitude of the smallest value doesn't fit its signed type, but does its unsigned one.
    const auto magnitude = static_cast<unsigned long long>(value);
    return value < 0 ? L"-" + DecimalText(0ULL - magnitude) : DecimalText(magnitude);
}

inline std::wstring DecimalText(unsigned long value) {
    return DecimalText(static_cast<unsigned long long>(value));
}
inline std::wstring DecimalText(unsigned value) {
    return DecimalText(static_cast<unsigned long long>(value));
}
inline std::wstring DecimalText(int value) {
    return DecimalText(static_cast<long long>(value));
}

} // namespace tamrick
