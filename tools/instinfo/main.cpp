// instinfo: the packager's view of an add-on folder, read with the installer's own reader.

#include "description/platform.h"
#include "description/reader.h"
#include "show.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

constexpr const char* kUsage = "usage: instinfo show [FOLDER]\n"
                               "  Reads FOLDER/InstInfo.ini (default: the current folder) as the\n"
                               "  installer would and prints what it read as one JSON object.\n"
                               "  Exit status: 0 when the installer would open its window,\n"
                               "  1 when it would not, 2 for a usage error.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

std::wstring FolderPrefix(std::wstring folder) {
    if (folder.empty()) {
        folder = L".";
    }
    if (folder.back() != tamrick::kPathSeparator && folder.back() != L'/') {
        folder.push_back(tamrick::kPathSeparator);
    }
    return folder;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty() || args[0] != L"show" || args.size() > 2) {
        return Usage();
    }
    const std::wstring folder = FolderPrefix(args.size() == 2 ? args[1] : L".");
    const tamrick::DescriptionRead read = tamrick::ReadDescription(folder);
    const std::string json = tamrick::ShowJson(read);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fflush(stdout);
    return read.result ? 0 : 1;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    // UTF-8 bytes, untouched by the console's code page.
    _setmode(_fileno(stdout), _O_BINARY);
    return Run(std::vector<std::wstring>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        tamrick::DecodedText arg;
        tamrick::AppendUtf8(argv[i], arg.text);
        args.push_back(std::move(arg.text));
    }
    return Run(args);
}
#endif
