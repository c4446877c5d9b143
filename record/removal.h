#pragma once
// Removing an add-on from its record: what /UNINSTALL does. No CorelDRAW is started (the record
// has every path), but a running one is closed first, as the installation does, since it may
// hold the add-on's files open.

#include "base/exit_codes.h"
#include "install/run.h"
#include "log/log.h"
#include "record/journal.h"

#include <chrono>
#include <string>

namespace tamrick {

// The removal's message boxes and its pause; a silent face confirms and shows nothing.
class RemovalFace {
  public:
    virtual ~RemovalFace() = default;
    // The warning with OK and Cancel; true for OK.
    virtual bool Confirm(const std::wstring& text) = 0;
    virtual void ShowMessage(const std::wstring& text, MessageKind kind) = 0;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

enum class RemovalOutcome {
    Cancelled,          // at the confirmation: nothing changed
    Removed,            // everything the add-on changed is as it was before
    RemovedKeptChanged, // removed, but files changed since the installation were kept
    NoRecord,           // no record, or a damaged one: nothing changed
    Failed,             // a change could not be taken back: the record stays, to be run again
};

Ending EndingOf(RemovalOutcome outcome);

// Told what the removal does, for the log.
class RemovalObserver : public UndoObserver {
  public:
    virtual void Confirmed(std::wstring_view /*text*/, bool /*ok*/) {}
    virtual void Ended(RemovalOutcome /*outcome*/, std::wstring_view /*text*/) {}
};

// The removal's and a failed run's undoing as records of the log.
class UndoLog final : public RemovalObserver {
  public:
    explicit UndoLog(ProgramLog& log) : log_(log) {}
    void Undid(const Change& change, UndoResult result) override;
    void Confirmed(std::wstring_view text, bool ok) override;
    void Ended(RemovalOutcome outcome, std::wstring_view text) override;

  private:
    ProgramLog& log_;
};

struct RemovalServices {
    RemovalFace& face;
    HostCloser& closer;
    RecordStore& store;
    RemovalObserver* observer = nullptr;
};

RemovalOutcome RunRemoval(const RemovalServices& services);

} // namespace tamrick
