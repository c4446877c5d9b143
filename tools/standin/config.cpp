#include "standin.h"

#include "base/text_case.h"
#include "base/text_encoding.h"
#include "base/trim.h"

#include <shlobj.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <optional>

namespace standin {
namespace {

using tamrick::FromUtf8;
using tamrick::ToLowerAscii;

std::wstring_view Trim(std::wstring_view text) {
    return tamrick::Trim(text, tamrick::kAsciiWhiteSpace);
}

// Decimal, or hexadecimal after "0x" (HRESULTs are written that way).
std::optional<std::int32_t> ParseNumber(std::wstring_view text) {
    const std::wstring value{Trim(text)};
    if (value.empty())
        return std::nullopt;
    wchar_t* end = nullptr;
    errno = 0;
    long long number = 0;
    if (value.size() > 2 && value[0] == L'0' && (value[1] == L'x' || value[1] == L'X'))
        number = static_cast<long long>(std::wcstoull(value.c_str() + 2, &end, 16));
    else
        number = std::wcstoll(value.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || number < INT32_MIN || number > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
}

// Whole seconds, as milliseconds.
std::optional<DWORD> ParseSeconds(std::wstring_view text) {
    const std::optional<std::int32_t> seconds = ParseNumber(text);
    if (!seconds || *seconds < 0 || *seconds > 24 * 60 * 60)
        return std::nullopt;
    return static_cast<DWORD>(*seconds) * 1000;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    tamrick::UniqueValue<wchar_t*, &::CoTaskMemFree> path;
    const HRESULT hr = SHGetKnownFolderPath(id, 0, nullptr, path.put());
    return SUCCEEDED(hr) && path ? std::wstring(path.get()) : L"C:";
}

} // namespace

Config DefaultConfig(int version) {
    const std::wstring suite =
        L"\\Corel\\CorelDRAW Graphics Suite " + std::to_wstring(version) + L"\\";
    const std::wstring programs = KnownFolder(FOLDERID_ProgramFiles) + suite;
    const std::wstring user = KnownFolder(FOLDERID_RoamingAppData) + suite;
    Config config;
    config.version = version;
    config.path = programs + L"Programs\\";
    config.gmsPath = programs + L"Draw\\GMS\\";
    config.userGmsPath = user + L"Draw\\GMS\\";
    config.userDataPath = user + L"Draw\\";
    return config;
}

Config ParseConfig(std::string_view text, Config config) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::wstring all = FromUtf8(text);
    std::wstring_view rest = all;
    for (int lineNumber = 1; !rest.empty(); ++lineNumber) {
        const size_t end = rest.find(L'\n');
        std::wstring_view line = rest.substr(0, end);
        rest = end == std::wstring_view::npos ? std::wstring_view{} : rest.substr(end + 1);
        if (line.ends_with(L'\r'))
            line.remove_suffix(1);
        const std::wstring_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == L'#' || trimmed.front() == L';')
            continue;

        const size_t equals = line.find(L'=');
        const std::wstring key =
            equals == std::wstring_view::npos ? L"" : ToLowerAscii(Trim(line.substr(0, equals)));
        // Values are taken exactly, so that a test can give a folder without its backslash.
        const std::wstring_view value =
            equals == std::wstring_view::npos ? std::wstring_view{} : line.substr(equals + 1);
        bool understood = true;
        if (key == L"version") {
            const std::optional<std::int32_t> major = ParseNumber(value);
            understood = major && *major >= tamrick::kX3Major && *major <= tamrick::kLastHostMajor;
            if (understood)
                config.version = *major;
        } else if (key == L"path") {
            config.path = value;
        } else if (key == L"gmspath") {
            config.gmsPath = value;
        } else if (key == L"usergmspath") {
            config.userGmsPath = value;
        } else if (key == L"userdatapath") {
            config.userDataPath = value;
        } else if (key == L"refusecreation") {
            const std::optional<std::int32_t> hr = ParseNumber(value);
            understood = hr.has_value();
            if (hr)
                config.refuseCreation = static_cast<HRESULT>(*hr);
        } else if (key == L"busy") {
            // busy=seconds[,Member]
            const size_t comma = value.find(L',');
            const std::optional<DWORD> ms = ParseSeconds(value.substr(0, comma));
            understood = ms.has_value();
            if (ms) {
                config.busyMs = *ms;
                config.busyMember = comma == std::wstring_view::npos
                                        ? L""
                                        : ToLowerAscii(Trim(value.substr(comma + 1)));
            }
        } else if (key == L"slowstart") {
            const std::optional<DWORD> ms = ParseSeconds(value);
            understood = ms.has_value();
            if (ms)
                config.slowStartMs = *ms;
        } else if (key == L"hang" || key == L"crash") {
            const std::wstring member = ToLowerAscii(Trim(value));
            understood = !member.empty();
            if (understood)
                (key == L"hang" ? config.hangs : config.crashes).push_back(member);
        } else if (key == L"fail") {
            // fail=Member,number,description (the description may hold commas)
            const size_t first = value.find(L',');
            const size_t second =
                first == std::wstring_view::npos ? first : value.find(L',', first + 1);
            const std::optional<std::int32_t> number =
                first == std::wstring_view::npos
                    ? std::nullopt
                    : ParseNumber(value.substr(first + 1, second - first - 1));
            understood = number.has_value() && *number != 0;
            if (understood)
                config.faults[ToLowerAscii(Trim(value.substr(0, first)))] = {
                    *number, second == std::wstring_view::npos
                                 ? L""
                                 : std::wstring(value.substr(second + 1))};
        } else {
            understood = false;
        }
        if (!understood)
            config.ignored.push_back(L"line " + std::to_wstring(lineNumber) + L": " +
                                     std::wstring(line));
    }
    return config;
}

Config LoadConfig(const std::wstring& folder) {
    const std::wstring path = folder + std::wstring(kConfigName);
    const UniqueHandle file{CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file)
        return DefaultConfig();
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    // The folders a version keeps by default depend on the version the text names.
    const Config config = ParseConfig(text, DefaultConfig());
    return config.version == tamrick::kX3Major ? config
                                               : ParseConfig(text, DefaultConfig(config.version));
}

} // namespace standin
