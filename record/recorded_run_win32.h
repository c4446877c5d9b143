#pragma once
// What a run of the installer with an add-on id records, on Windows.

#include "description/model.h"
#include "log/log.h"
#include "record/journal.h"
#include "record/removal.h"

#include <memory>

namespace tamrick {

class RecordedRun {
  public:
    RecordedRun(const SharedState& state, ProgramLog& log);
    RunRecord& record() { return *journal_; }

  private:
    UndoLog log_;
    std::unique_ptr<RecordStore> store_;
    std::unique_ptr<Journal> journal_;
};

// Nothing without a valid add-on id: such a run is not recorded at all. Throws Error when the
// system has no folder for the record.
std::unique_ptr<RecordedRun> MakeRecordedRun(const SharedState& state, ProgramLog& log);

// /UNINSTALL: removes the add-on of the record beside this program; silent without any box.
Ending RemoveAddon(bool silent, ProgramLog& log);

} // namespace tamrick
