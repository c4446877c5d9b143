#include "standin_control.h"

#include "base/text_encoding.h"
#include "driver/driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tamrick::test {

StandInControl::StandInControl(std::wstring folder, std::wstring builtStandIn)
    : built_(builtStandIn.empty() ? driver::FromUnixPath(TAMRICK_STANDIN_PATH).wstring()
                                  : std::move(builtStandIn)),
      folder_(std::move(folder)) {}

const StandInControl& StandIn() {
    static const StandInControl standIn = [] {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        return StandInControl(
            TestTempFolder(L"standin-" + std::filesystem::path(program).stem().wstring()));
    }();
    return standIn;
}

bool StandInControl::Install() const {
    CreateDirectoryW(folder_.c_str(), nullptr);
    return CopyFileW(built_.c_str(), exe().c_str(), FALSE) && Run(L"/RegServer") == 0;
}

DWORD StandInControl::Run(const std::wstring& arguments) const {
    return RunToEnd(L"\"" + exe() + L"\" " + arguments);
}

HostFolders::HostFolders(const std::wstring& root)
    : programs(root + L"folders\\Programs\\"), gms(root + L"folders\\GMS\\"),
      userGms(root + L"folders\\用户宏\\"), userData(root + L"folders\\UserData\\") {}

std::wstring HostFolders::Config() const {
    return L"path=" + programs + L"\ngmspath=" + gms + L"\nusergmspath=" + userGms +
           L"\nuserdatapath=" + userData + L"\n";
}

void HostFolders::Recreate() const {
    for (const std::wstring& folder : {programs, gms, userGms, userData}) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::wstring> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring TestTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tamrick-" + name + L"\\";
}

const driver::IconReader& Icons() {
    static const driver::IconReader reader = driver::IconReader::Calibrate();
    return reader;
}

HWND NextMessageBox(DWORD pid, HWND previous, std::chrono::milliseconds timeout) {
    HWND box = nullptr;
    driver::WaitUntil(
        [&] {
            for (HWND w : driver::VisibleTopLevelWindows(pid)) {
                if (w != previous && driver::WindowClass(w) == L"#32770") {
                    box = w;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return box;
}

HWND WaitForWindowNamed(const wchar_t* className, std::chrono::milliseconds timeout) {
    HWND window = nullptr;
    driver::WaitUntil(
        [&] {
            window = FindWindowW(className, nullptr);
            return window != nullptr && IsWindowVisible(window);
        },
        timeout);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

std::size_t CountOf(const std::vector<std::wstring>& calls, const std::wstring& call) {
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

DWORD RunToEnd(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError();
    }
    const tamrick::UniqueHandle processHandle{process.hProcess};
    const tamrick::UniqueHandle threadHandle{process.hThread};
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

std::optional<DWORD> RunWithoutElevation(std::wstring commandLine, const std::wstring& folder,
                                         const std::wstring& temp) {
    tamrick::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, token.put())) {
        return std::nullopt;
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    tamrick::UniqueHandle restricted;
    if (!CreateRestrictedToken(token.get(), DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0,
                               nullptr, restricted.put())) {
        return std::nullopt;
    }
    // This process's environment, with TEMP and TMP replaced where asked.
    std::wstring environment;
    const wchar_t* const own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        if (!temp.empty() &&
            (_wcsnicmp(entry, L"TEMP=", 5) == 0 || _wcsnicmp(entry, L"TMP=", 4) == 0)) {
            continue;
        }
        environment += text + L'\0';
    }
    FreeEnvironmentStringsW(const_cast<wchar_t*>(own));
    if (!temp.empty()) {
        environment += L"TEMP=" + temp + L'\0' + L"TMP=" + temp + L'\0';
    }
    environment += L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessAsUserW(restricted.get(), nullptr, commandLine.data(), nullptr, nullptr,
                              FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.c_str(),
                              &startup, &info)) {
        return std::nullopt;
    }
    const tamrick::UniqueHandle process{info.hProcess};
    const tamrick::UniqueHandle thread{info.hThread};
    if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

driver::Process StandInControl::StartPlainly() const {
    driver::Process process = driver::Process::Launch(exe(), folder_);
    // Running as a user would see it: once its window shows.
    driver::WaitForWindow(process.pid(), std::chrono::seconds(10));
    return process;
}

void StandInControl::WriteConfig(std::wstring_view text) const {
    const std::string bytes = ToUtf8(text);
    const tamrick::UniqueHandle file{CreateFileW((folder_ + L"CorelDRW.ini").c_str(), GENERIC_WRITE,
                                                 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                 nullptr)};
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        throw std::runtime_error("the stand-in's config can't be written");
    }
}

void StandInControl::ClearLog() const {
    DeleteFileW((folder_ + L"CorelDRW.log").c_str());
}

std::vector<std::wstring> StandInControl::LoggedCalls() const {
    return LogRecords(folder_ + L"CorelDRW.log");
}

std::vector<std::wstring> StandInControl::LogLines() const {
    return LogLinesOf(folder_ + L"CorelDRW.log");
}

std::vector<std::wstring> LogLinesOf(const std::filesystem::path& log) {
    std::vector<std::wstring> lines;
    // Shared as the writers share it: a log may be read while it is written.
    const tamrick::UniqueHandle file{CreateFileW(
        log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) {
        return lines;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    }
    const std::wstring text = FromUtf8(bytes);
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::wstring::npos ? text.size() : end + 2;
    }
    return lines;
}

std::vector<std::wstring> LogRecords(const std::filesystem::path& log) {
    std::vector<std::wstring> records;
    for (const std::wstring& line : LogLinesOf(log)) {
        records.push_back(line.substr(line.find(L'\t') + 1));
    }
    return records;
}

std::vector<std::wstring> RecordsOf(const std::vector<std::wstring>& records,
                                    const std::wstring& kind) {
    std::vector<std::wstring> found;
    for (const std::wstring& record : records) {
        if (record.starts_with(kind + L"\t")) {
            found.push_back(record.substr(kind.size() + 1));
        }
    }
    return found;
}

Watched RunWatched(const std::wstring& exe, const std::wstring& folder,
                   const std::wstring& arguments, std::chrono::milliseconds timeout,
                   const std::vector<std::wstring>& programs) {
    driver::Process process = driver::Process::LaunchSuspended(exe, folder, arguments);
    driver::WindowWatch watch(programs.empty() ? process.pid() : 0);
    process.Resume();
    Watched watched;
    watched.code = process.WaitForExit(timeout);
    std::vector<driver::WindowWatch::Seen> seen = watch.Stop();
    std::erase_if(seen, [&](const driver::WindowWatch::Seen& window) {
        return !programs.empty() &&
               std::none_of(programs.begin(), programs.end(), [&](const std::wstring& program) {
                   return _wcsicmp(window.program.c_str(), program.c_str()) == 0;
               });
    });
    for (const driver::WindowWatch::Seen& window : seen) {
        // COM's own helper of a single-threaded apartment is message-only: never shown.
        if (window.message_only && window.class_name == L"OleMainThreadWndClass") {
            continue;
        }
        watched.windows.push_back((window.class_name.empty() ? L"(gone)" : window.class_name) +
                                  L" \"" + window.text +
                                  (window.visible ? L"\" shown" : L"\" hidden"));
    }
    return watched;
}

std::vector<tamrick::UniqueHandle> ProcessesNamed(const wchar_t* name) {
    std::vector<tamrick::UniqueHandle> processes;
    const tamrick::UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, name, -1, TRUE) != CSTR_EQUAL) {
            continue;
        }
        // Querying lets QuitStandIns match the process's threads to it (GetProcessId).
        if (HANDLE process =
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                            entry.th32ProcessID)) {
            processes.emplace_back(process);
        }
    }
    return processes;
}

bool QuitStandIns(DWORD patience) {
    std::vector<tamrick::UniqueHandle> processes = StandInProcesses();
    const tamrick::UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        for (const tamrick::UniqueHandle& process : processes) {
            if (GetProcessId(process.get()) == entry.th32OwnerProcessID) {
                PostThreadMessageW(entry.th32ThreadID, WM_QUIT, 0, 0);
            }
        }
    }
    bool allQuit = true;
    for (const tamrick::UniqueHandle& process : processes) {
        if (WaitForSingleObject(process.get(), patience) != WAIT_OBJECT_0) {
            allQuit = false;
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), INFINITE);
        }
    }
    return allQuit;
}

bool EndedByThemselves(const std::vector<tamrick::UniqueHandle>& processes, DWORD patience) {
    bool ended = true;
    for (const tamrick::UniqueHandle& process : processes) {
        ended = WaitForSingleObject(process.get(), patience) == WAIT_OBJECT_0 && ended;
    }
    return ended;
}

} // namespace tamrick::test
