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

    // Newest first, as they are taken back; each line starts with its line end.
    void Undid(const Change& change, UndoResult result) override {
        const std::wstring line = L"\r\n" + change.path;
        if (result == UndoResult::KeptChanged && kept_.find(line + L"\r\n") == std::wstring::npos) {
            kept_.insert(0, line);
            if (!kept_.ends_with(L"\r\n")) {
                kept_ += L"\r\n";
            }
        }
        if (result == UndoResult::KeptImport) {
            imports_.insert(0, L"\r\n" + ImportKeptLine(change));
        }
        if (next_ != nullptr) {
            next_->Undid(change, result);
        }
    }

    bool KeptChanged() const { return !kept_.empty(); }

    // Oldest first, as they were installed.
    std::wstring Message() const {
        std::wstring text = kRemovedText + imports_;
        if (!kept_.empty()) {
            text += L"\r\n";
            text += kKeptChangedLine;
            text.append(kept_, 0, kept_.size() - 2);
        }
        return text;
    }

  private:
    UndoObserver* next_;
    std::wstring kept_; // "\r\n<path>" each, and one "\r\n" at the end
    std::wstring imports_;
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
        UndoChanges(*record, store, &tally, UndoScope::Everything);
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
    const wchar_t* what = L"keep";
    std::wstring why;
    switch (result) {
    case UndoResult::Nothing:
        return;
    case UndoResult::Removed:
        what = L"remove";
        break;
    case UndoResult::Restored:
        what = L"restore";
        break;
    case UndoResult::KeptChanged:
        why = L"changed since the installation";
        break;
    case UndoResult::KeptNewer:
        why = L"a file of that name is there now";
        break;
    case UndoResult::KeptImport:
        why = L"a workspace imported into CorelDRAW " + HostVersionDisplayName(change.major) +
              L": remove it in CorelDRAW";
        break;
    }
    log_.Undo(what, change.path, why);
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
