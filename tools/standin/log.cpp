#include "standin.h"

#include "base/text_encoding.h"

#include <cwchar>
#include <iterator>

namespace standin {
namespace {

// One call is one line, so tabs and line ends inside an argument are written as \xHH.
void AppendField(std::wstring& line, std::wstring_view field) {
    line += L'\t';
    for (const wchar_t c : field) {
        if (c < 0x20 || c == 0x7F) {
            wchar_t escaped[8];
            std::swprintf(escaped, std::size(escaped), L"\\x%02X", static_cast<unsigned>(c));
            line += escaped;
        } else {
            line += c;
        }
    }
}

} // namespace

void AppendLog(const LogFile& log, std::wstring_view what, std::wstring_view access,
               const std::vector<std::wstring>& arguments) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t time[32];
    std::swprintf(time, std::size(time), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    std::wstring line = time;
    if (log.version != tamrick::kX3Major)
        AppendField(line, std::to_wstring(log.version));
    AppendField(line, what);
    AppendField(line, access);
    for (const std::wstring& argument : arguments)
        AppendField(line, argument);
    line += L"\r\n";

    // Opened for each line and appended in one write, so that a reader (or a second server
    // process) never sees half a line.
    const UniqueHandle file{CreateFileW(log.path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file)
        return;
    const std::string bytes = tamrick::ToUtf8(line);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace standin
