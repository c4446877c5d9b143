// message_box: shows one message box, for the driver, in a process of its own as the driven
// programs show theirs (its calibration, its tests).
//   message_box FLAGS TITLE TEXT
// FLAGS is MessageBoxW's type in decimal; TITLE and TEXT are UTF-16 code units, four hex digits
// each, so that any text survives the command line. Exits with what MessageBoxW returned, or
// with 0 for a usage error.

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

bool Decode(const wchar_t* hex, std::wstring& text) {
    const size_t length = std::wcslen(hex);
    if (length % 4 != 0) {
        return false;
    }
    for (size_t at = 0; at < length; at += 4) {
        wchar_t* end = nullptr;
        const std::wstring unit(hex + at, 4);
        const unsigned long value = std::wcstoul(unit.c_str(), &end, 16);
        if (end != unit.c_str() + 4) {
            return false;
        }
        text += static_cast<wchar_t>(value);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring title;
    std::wstring text;
    if (argc != 4 || !Decode(argv[2], title) || !Decode(argv[3], text)) {
        return 0;
    }
    const auto flags = static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10));
    return MessageBoxW(nullptr, text.c_str(), title.c_str(), flags);
}
