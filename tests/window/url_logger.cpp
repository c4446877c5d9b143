// Stands in for the web browser in the tests: registered as the handler of https addresses, it
// appends the address it was asked to open to url_log.txt beside itself, one UTF-8 line each.

#include "base/text_encoding.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const auto log = std::filesystem::path(self).parent_path() / L"url_log.txt";

    std::ofstream out(log, std::ios::binary | std::ios::app);
    const std::string address = tamrick::ToUtf8(argv[1]);
    out.write(address.data(), static_cast<std::streamsize>(address.size()));
    out << '\n';
    return out ? 0 : 1;
}
