#include "removal.h"

#include "base/error.h"
#include "description/host_versions.h"

#include <algorithm>
#include <optional>

namespace tamrick {
namespace {

constexpr const wchar_t* kRemovedText = L"卸载成功！";
constexpr const wchar_t* kKeptChangedLine = L"以下文件在安装后被修改过，已保留：";
constexpr const wchar_t* kUnexpectedPrefix = L"发生意外错误，";
constexpr const wchar_t* kNotFinishedLine = L"卸载没有完成，再次运行卸载程序即可继续。";

std::wstring NoRecordText(const std::wstring& path) {
    return L"找不到安装记录(" + path + L")，无法卸载。";
}
std::wstring DamagedRecordText(const std::wstring& path) {
    return L"安装记录(" + path + L")已损坏，无法卸载。没有做任何更改。";
}
std::wstring ConfirmText(const std::wstring& name, const std::vector<int>& majors) {
    std::wstring text = L"将要卸载“" + name + L"”";
    if (!majors.empty()) {
        text += L"，并从 CorelDRAW " + HostVersionsPhrase(majors) + L" 中删除它的文件";
    }
    return text + L"。\r\n" + kHostCloseWarning;
}
std::wstring ImportKeptLine(const Change& change) {
    return L"导入到 CorelDRAW " + HostVersionDisplayName(change.major) +
           L" 的工作区无法自动卸载，请在 CorelDRAW 中删除它：" + change.path;
}

// What the removal learnt while taking the changes back, for its message.
class Tally final : public UndoObserver {
  public:
    explicit Tally(UndoObserver* next) : next_(next) {}

    void Undid(const Change& change, UndoResult result) override {
        if (result == UndoResult::KeptChanged &&
            std::find(kept_.begin(), kept_.end(), change.path) == kept_.end()) {
            kept_.push_back(change.path);
        }
        if (result == UndoResult::KeptImport) {
            imports_.push_back(ImportKeptLine(change));
        }
        if (next_ != nullptr) {
            next_->Undid(change, result);
        }
    }

    bool KeptChanged() const { return !kept_.empty(); }

    std::wstring Message() const {
        std::wstring text = kRemovedText;
        // Oldest first, as they were installed.
        for (auto it = imports_.rbegin(); it != imports_.rend(); ++it) {
            text += L"\r\n" + *it;
        }
        if (!kept_.empty()) {
            text += L"\r\n";
            text += kKeptChangedLine;
            for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
                text += L"\r\n" + *it;
            }
        }
        return text;
    }

  private:
    UndoObserver* next_;
    std::vector<std::wstring> kept_;
    std::vector<std::wstring> imports_;
};

class Removal {
  public:
    explicit Removal(const RemovalServices& services)
        : services_(services),
          observer_(services.observer != nullptr ? *services.observer : unobserved_) {}

    RemovalOutcome Run() {
        std::optional<Error> failure;
        try {
            return Remove();
        } catch (...) {
            failure = CurrentExceptionAsError();
        }
        return End(RemovalOutcome::Failed,
                   kUnexpectedPrefix + failure->description() + L"\r\n" + kNotFinishedLine);
    }

  private:
    RemovalOutcome Remove() {
        RecordStore& store = services_.store;
        OpenedRecord opened = OpenRecord(store);
        if (opened.state == RecordState::None) {
            return End(RemovalOutcome::NoRecord, NoRecordText(store.RecordPath()));
        }
        if (opened.state == RecordState::Damaged) {
            return End(RemovalOutcome::NoRecord, DamagedRecordText(store.RecordPath()));
        }
        Record* record = &opened.record;
        const std::wstring text = ConfirmText(NameOf(*record), record->Versions());
        const bool confirmed = services_.face.Confirm(text);
        observer_.Confirmed(text, confirmed);
        if (!confirmed) {
            return RemovalOutcome::Cancelled;
        }
        services_.closer.StartClosingHost();
        services_.face.Pause(kHostClosePause);

        Tally tally(&observer_);
        UndoChanges(*record, store, &tally, [](const Change&) { return true; });
        // The entry goes only once nothing is left to take back: until then it starts the
        // removal again.
        store.RemoveEntry();
        store.RemoveRecordFolder();
        return End(tally.KeptChanged() ? RemovalOutcome::RemovedKeptChanged
                                       : RemovalOutcome::Removed,
                   tally.Message());
    }

    static std::wstring NameOf(const Record& record) {
        if (const Release* done = record.LastDone()) {
            return done->name;
        }
        return record.releases.empty() ? record.addonId : record.releases.back().name;
    }

    RemovalOutcome End(RemovalOutcome outcome, const std::wstring& text) {
        observer_.Ended(outcome, text);
        const bool removed =
            outcome == RemovalOutcome::Removed || outcome == RemovalOutcome::RemovedKeptChanged;
        services_.face.ShowMessage(text, removed ? MessageKind::Information : MessageKind::Error);
        return outcome;
    }

    const RemovalServices& services_;
    RemovalObserver unobserved_;
    RemovalObserver& observer_;
};

} // namespace

void UndoLog::Undid(const Change& change, UndoResult result) {
    switch (result) {
    case UndoResult::Nothing:
        return;
    case UndoResult::Removed:
        log_.Undo(L"remove", change.path);
        return;
    case UndoResult::Restored:
        log_.Undo(L"restore", change.path);
        return;
    case UndoResult::KeptChanged:
        log_.Undo(L"keep", change.path, L"changed since the installation");
        return;
    case UndoResult::KeptNewer:
        log_.Undo(L"keep", change.path, L"a file of that name is there now");
        return;
    case UndoResult::KeptImport:
        break;
    }
    log_.Undo(L"keep", change.path,
              L"a workspace imported into CorelDRAW " + HostVersionDisplayName(change.major) +
                  L": remove it in CorelDRAW");
}

void UndoLog::Confirmed(std::wstring_view text, bool ok) {
    log_.Confirm(text, ok ? L"ok" : L"cancel");
}

void UndoLog::Ended(RemovalOutcome outcome, std::wstring_view text) {
    const bool removed =
        outcome == RemovalOutcome::Removed || outcome == RemovalOutcome::RemovedKeptChanged;
    log_.Message(removed ? L"information" : L"error", text);
}

Ending EndingOf(RemovalOutcome outcome) {
    switch (outcome) {
    case RemovalOutcome::Cancelled:
        return Ending::Cancelled;
    case RemovalOutcome::Removed:
        return Ending::Removed;
    case RemovalOutcome::RemovedKeptChanged:
        return Ending::RemovedKeptChanged;
    case RemovalOutcome::NoRecord:
        return Ending::NoRecord;
    case RemovalOutcome::Failed:
        break;
    }
    return Ending::Failed;
}

RemovalOutcome RunRemoval(const RemovalServices& services) {
    return Removal(services).Run();
}

} // namespace tamrick
