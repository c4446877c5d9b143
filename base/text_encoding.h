#pragma once
// Every conversion between UTF-8, UTF-16 and (on Windows) a code page. wchar_t holds UTF-16 on
// Windows and UTF-32 elsewhere.
//
// None of them fails or throws, so the exception-free setup uses them as the installer does:
// what is no character becomes U+FFFD, one for each invalid byte (or unpaired surrogate), which
// keeps the rest of the text in place and shows the reader that something was lost. A caller
// that must refuse such input instead (a file name that must not be guessed at) asks first:
// IsValidUtf8, or InvalidBytes::Refuse for a code page.

#include <string>
#include <string_view>

namespace tamrick {

inline constexpr wchar_t kReplacementCharacter = L'\uFFFD';

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

void AppendUtf8(std::string_view bytes, std::wstring& out);
std::wstring FromUtf8(std::string_view bytes);
std::string ToUtf8(std::wstring_view text);

// UTF-16 code units in bytes of either order; an odd last byte is one invalid byte.
void AppendUtf16(std::string_view bytes, bool bigEndian, std::wstring& out);

#ifdef _WIN32
enum class InvalidBytes {
    Replace, // as the system replaces them: U+FFFD, or a code page's own default character
    Refuse,  // nothing is appended, and the call says so
};

// Text in a Windows code page (CP_ACP, 936, ...; CP_UTF8 is read by AppendUtf8, the same on
// every Windows). False only when refused.
bool AppendCodePage(unsigned codePage, std::string_view bytes, std::wstring& out,
                    InvalidBytes invalid = InvalidBytes::Replace);
#endif

} // namespace tamrick
