#include "silent_run_win32.h"

#include "base/message_wait.h"
#include "install/file_ops_win32.h"
#include "install/host/host.h"
#include "install/host/host_finder_win32.h"
#include "install/host/host_thread_win32.h"
#include "install/host_closer_win32.h"

#include <memory>

namespace tamrick {
namespace {

class SilentFace final : public RunWindow {
  public:
    bool Confirm(const std::wstring& /*text*/) override { return true; }
    void DisableButton() override {}
    void SetCaption(const std::wstring& /*caption*/) override {}
    void PauseWithEvents(std::chrono::milliseconds duration) override {
        PauseWithMessages(duration, [] { DispatchWaitingMessages(); });
    }
    void ShowMessage(const std::wstring& /*text*/, MessageKind /*kind*/) override {}
    void ReportMissingFile(const std::wstring& /*path*/) override {}
    void ReportBadFolder(const std::wstring& /*path*/, int /*major*/) override {}
};

} // namespace

RunOutcome RunSilently(const SharedState& state, RunObserver& observer, RunRecord* record) {
    SilentFace face;
    const std::unique_ptr<HostCloser> closer = MakeTaskkillCloser();
    // The file system goes after the host, as ShutDown lets them go.
    std::unique_ptr<FileSystemOps> fileSystem;
    std::unique_ptr<Host> host;
    RunServices services{face, *closer, &FindInstalledHosts,
                         [](int major) {
                             return MakeHostOnThread(MakeComHost(major), [](HANDLE done) {
                                 WaitWithMessages(done, [] { DispatchWaitingMessages(); });
                             });
                         },
                         [] { return MakeWin32FileSystem(); }};
    services.observer = &observer;
    services.record = record;
    return RunInstallation(state, RunMembers{host, fileSystem}, services);
}

} // namespace tamrick
