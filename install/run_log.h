#pragma once
// The run's steps as records of the log: what the run's observer is told, written as the
// administrator reads it.

#include "install/run.h"
#include "log/log.h"

namespace tamrick {

class RunLog final : public RunObserver {
  public:
    explicit RunLog(ProgramLog& log) : log_(log) {}

    void Confirmed(std::wstring_view text, bool ok) override;
    void HostOpened(int major) override;
    void FolderReturned(int major, std::wstring_view key, std::wstring_view folder) override;
    void Copied(std::wstring_view source, std::wstring_view destination) override;
    void Imported(std::wstring_view path) override;
    void Deleted(std::wstring_view path) override;
    void Skipped(const FileItem& item, std::wstring_view path, SkipReason reason) override;
    void Ended(RunOutcome outcome, std::wstring_view text) override;

  private:
    ProgramLog& log_;
};

} // namespace tamrick
