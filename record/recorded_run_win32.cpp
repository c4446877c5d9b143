#include "recorded_run_win32.h"

#include "base/executable_path.h"
#include "base/message_wait.h"
#include "install/host_closer_win32.h"
#include "record/record_store_win32.h"

#include <windows.h>

namespace tamrick {
namespace {

// Without a window of its own: each box comes to the front.
class RemovalBoxes final : public RemovalFace {
  public:
    explicit RemovalBoxes(bool silent) : silent_(silent) {}
    bool Confirm(const std::wstring& text) override {
        return silent_ || MessageBoxW(nullptr, text.c_str(), kProgramTitle,
                                      MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON1 |
                                          MB_SETFOREGROUND) != IDCANCEL;
    }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        if (!silent_) {
            const UINT icon = kind == MessageKind::Information ? MB_ICONINFORMATION : MB_ICONERROR;
            MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_OK | icon | MB_SETFOREGROUND);
        }
    }
    void Pause(std::chrono::milliseconds duration) override {
        PauseWithMessages(duration, [] { DispatchWaitingMessages(); });
    }

  private:
    bool silent_;
};

} // namespace

RecordedRun::RecordedRun(const SharedState& state, ProgramLog& log) : log_(log) {
    RecordPlace place = RecordPlaceFor(state.AddonId);
    log.Note(L"the installation is recorded in " + place.folder);
    const RecordScope scope = place.scope;
    store_ = MakeWin32RecordStore(std::move(place), state.AddonId);
    journal_ = std::make_unique<Journal>(*store_, AddonFactsOf(state, scope), &log_);
}

std::unique_ptr<RecordedRun> MakeRecordedRun(const SharedState& state, ProgramLog& log) {
    if (state.AddonId.empty()) {
        return nullptr;
    }
    return std::make_unique<RecordedRun>(state, log);
}

Ending RemoveAddon(bool silent, ProgramLog& log) {
    const std::wstring self = ExecutablePath();
    RecordPlace place;
    place.folder = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::unique_ptr<RecordStore> store = MakeWin32RecordStore(std::move(place), L"");
    RemovalBoxes face(silent);
    const std::unique_ptr<HostCloser> closer = MakeTaskkillCloser();
    UndoLog observer(log);
    return EndingOf(RunRemoval(RemovalServices{face, *closer, *store, &observer}));
}

} // namespace tamrick
