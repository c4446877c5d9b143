#include "host_closer_win32.h"

#include "base/handles.h"
#include "base/system_error.h"
#include "base/text_case.h"
#include "description/model.h"

#include <windows.h>

#include <tlhelp32.h>

#include <utility>

namespace tamrick {
namespace {

// Ends every process of this session's view with the host's image name. Runs on its own
// thread, like taskkill in its own process, so nobody waits for it and nothing is reported.
DWORD WINAPI TerminateHostProcesses(void*) {
    const UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (!snapshot) {
        return 1;
    }
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self ||
            ToLowerText(entry.szExeFile) != ToLowerText(kHostImageName)) {
            continue;
        }
        if (const UniqueHandle process{
                OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)}) {
            TerminateProcess(process.get(), 1);
        }
    }
    return 0;
}

std::wstring SystemTaskkill() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        ThrowLastError();
    }
    return std::wstring(folder, length) + L"\\taskkill.exe";
}

class TaskkillCloser final : public HostCloser {
  public:
    explicit TaskkillCloser(std::wstring program) : program_(std::move(program)) {}

    void StartClosingHost() override {
        // By full path: a taskkill.exe beside the installer or in the current folder must not
        // be the one that runs.
        const std::wstring program = program_.empty() ? SystemTaskkill() : program_;
        std::wstring commandLine = L"\"" + program + L"\" /f /im " + std::wstring(kHostImageName);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION started{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                           CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
            const UniqueHandle process{started.hProcess};
            const UniqueHandle thread{started.hThread};
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            ThrowWin32(error);
        }
        const UniqueHandle worker{
            CreateThread(nullptr, 0, TerminateHostProcesses, nullptr, 0, nullptr)};
        if (!worker) {
            ThrowLastError();
        }
    }

  private:
    std::wstring program_; // empty: the system's own
};

} // namespace

std::unique_ptr<HostCloser> MakeTaskkillCloser(std::wstring taskkillPath) {
    return std::make_unique<TaskkillCloser>(std::move(taskkillPath));
}

} // namespace tamrick
