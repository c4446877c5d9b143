// The program's entry: the command line and the log, one instance per executable, the program
// folder, the description, and then the window, or in a silent run (/S) the installation itself.
// Every way out ends with its exit code (ExitCodeFor) and, with /LOG=, the log's last record.

#include "app_folder.h"
#include "base/error.h"
#include "base/executable_path.h"
#include "base/exit_codes.h"
#include "base/handles.h"
#include "base/system_error.h"
#include "base/system_library.h"
#include "command_line.h"
#include "description/host_versions.h"
#include "description/model.h"
#include "description/reader.h"
#include "install/run_log.h"
#include "instance_lock.h"
#include "log/log_file_win32.h"
#include "record/recorded_run_win32.h"
#include "silent_run_win32.h"
#include "window/frm_main.h"

#include <memory>
#include <optional>
#include <string>

namespace tamrick {
namespace {

// What the description gave, as the installer keeps it.
void LogDescription(ProgramLog& log, const SharedState& state, Encoding encoding, bool missing) {
    const std::wstring path = state.AppFolder + kDescriptionName;
    if (missing) {
        log.DescriptionMissing(path);
        return;
    }
    log.Description(path, FromUtf8(EncodingName(encoding)));
    log.Setting(L"SetupTitle", state.SetupTitle);
    log.Setting(L"FlagsPicture", state.FlagsPicture);
    if (!state.HostVersions.empty()) {
        log.Setting(L"HostVersions", HostVersionsPhrase(state.HostVersions));
    }
    if (!state.AddonId.empty()) {
        log.Setting(L"AddonId", state.AddonId);
        log.Setting(L"AddonName", state.AddonName);
        log.Setting(L"AddonVersion", state.AddonVersion);
        log.Setting(L"Publisher", state.Publisher);
    }
    if (!state.FileItems) {
        log.Note(L"the description has no file items");
        return;
    }
    for (std::size_t row = 0; row < state.FileItems->size(); ++row) {
        const FileItem& item = (*state.FileItems)[row];
        log.Item(row + 1, item.Action, item.SourceName, item.Required, item.Target,
                 item.StepCaption);
    }
}

int RunMessageLoop(const frmMain& form) {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Dialog keys first: Enter presses the install button.
        if (form.HandleDialogMessage(msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Everything after the log is open; the way out. The window, once shown, ends the program
// itself (ShutDown) and never comes back here.
Ending Main(const CommandLine& commandLine, ProgramLog& log) {
    const std::wstring executablePath = ExecutablePath();
    log.Start(TAMRICK_VERSION, executablePath, RawArguments());
    if (commandLine.IsUsageError()) {
        return EndWithUsage(commandLine, log);
    }
    if (executablePath.empty()) {
        ThrowLastError();
    }
    // Held for the life of the process; the system drops it when the process ends.
    const UniqueHandle instanceLock = AcquireInstanceLock(executablePath);
    if (!instanceLock) {
        log.Note(L"another instance of this installer is running");
        return Ending::AlreadyRunning;
    }
    if (commandLine.uninstall) {
        return RemoveAddon(commandLine.silent, log);
    }
    SharedState state;
    state.AppFolder = AppFolderFromExecutable(executablePath, L'\\');
    std::optional<std::wstring> missingText;
    Encoding encoding = Encoding::Ansi;
    const bool haveItems = LoadInstallInfo(
        state, [&](const std::wstring& text) { missingText = text; }, &encoding);
    LogDescription(log, state, encoding, missingText.has_value());
    if (missingText) {
        TellUser(log, commandLine.silent, L"error", *missingText);
    }
    if (!haveItems) {
        return Ending::NoDescription;
    }
    if (commandLine.silent) {
        RunLog runLog(log);
        const std::unique_ptr<RecordedRun> recorded = MakeRecordedRun(state, log);
        return EndingOf(RunSilently(state, runLog, recorded ? &recorded->record() : nullptr));
    }
    const std::unique_ptr<frmMain> form = ShowInstallerWindow(state, log);
    RunMessageLoop(*form);
    // Only a quit message from outside ends the loop: the window was not used to the end.
    log.Note(L"the installer was asked to quit");
    return Ending::AskedToQuit;
}

} // namespace
} // namespace tamrick

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    using namespace tamrick;
    // Before anything loads a DLL: nothing beside the program may be taken for a system DLL.
    RestrictDllSearch();
    // The common controls import msimg32 as a delayed import, which Wine at least resolves with
    // the program's folder first. Loaded from the system folder now, it is found loaded then.
    LoadSystemLibrary(L"msimg32.dll");
    const CommandLine commandLine = ParseCommandLine(ProgramArguments());
    // A log that can't be opened changes nothing else: the installation goes on without it.
    std::unique_ptr<LogFile> logFile;
    if (commandLine.logPath) {
        logFile = std::make_unique<LogFile>(*commandLine.logPath);
    }
    ProgramLog log(logFile.get(), L"installer");
    Ending ending = Ending::UnhandledError;
    try {
        ending = Main(commandLine, log);
    } catch (...) {
        // Nothing in start-up handles its own errors: the user sees number and description.
        TellUser(log, commandLine.silent, L"error", UnhandledErrorReport());
    }
    const int exitCode = ExitCodeFor(ending);
    log.End(exitCode, ending == Ending::Removed ? exit_code::kRemovedMeaning : L"");
    return exitCode;
}
