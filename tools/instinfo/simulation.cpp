#include "simulation.h"

#include "description/host_versions.h"
#include "files.h"
#include "install/host/host.h"

#include <algorithm>
#include <memory>

namespace tamrick {
namespace {

// Collects what happens; tags each happening with the version and row that the run announced.
class Recorder final : public RunObserver {
  public:
    explicit Recorder(Simulation& simulation) : simulation_(simulation) {}

    Happening& Add(Happening::Kind kind, std::wstring text = {}, std::wstring path = {}) {
        Happening& h = simulation_.happenings.emplace_back();
        h.kind = kind;
        h.text = std::move(text);
        h.path = std::move(path);
        h.version = version_;
        h.row = row_;
        return h;
    }

    void VersionStarting(int major) override { version_ = major; }
    void VersionFinished(int /*major*/) override {
        version_.reset();
        row_.reset();
    }
    void ItemStarting(std::size_t row, std::wstring_view destFolder) override {
        row_ = row;
        Add(Happening::Kind::Item, {}, std::wstring(destFolder));
    }
    void FolderReturned(int /*major*/, std::wstring_view key, std::wstring_view folder) override {
        Add(Happening::Kind::Folder, std::wstring(key), std::wstring(folder));
    }
    void Copied(std::wstring_view source, std::wstring_view destination) override {
        Add(Happening::Kind::Copied, std::wstring(source), std::wstring(destination));
    }
    void Imported(std::wstring_view path) override {
        Add(Happening::Kind::Imported, {}, std::wstring(path));
    }
    void Deleted(std::wstring_view path) override {
        Add(Happening::Kind::Deleted, {}, std::wstring(path));
    }
    void Skipped(const FileItem& /*item*/, std::wstring_view path, SkipReason reason) override {
        Add(Happening::Kind::Skipped, {}, std::wstring(path)).reason = reason;
    }
    void Ended(RunOutcome outcome, std::wstring_view text) override {
        Add(Happening::Kind::Ended, std::wstring(text)).outcome = outcome;
    }

  private:
    Simulation& simulation_;
    std::optional<int> version_;
    std::optional<std::size_t> row_;
};

// The messages come to the recorder through Ended, with their exact text.
class SimWindow final : public RunWindow {
  public:
    explicit SimWindow(Recorder& recorder) : recorder_(recorder) {}
    bool Confirm(const std::wstring& text) override {
        recorder_.Add(Happening::Kind::Confirm, text);
        return true;
    }
    void DisableButton() override { recorder_.Add(Happening::Kind::Disable); }
    void SetCaption(const std::wstring& caption) override {
        recorder_.Add(Happening::Kind::Caption, caption);
    }
    void PauseWithEvents(std::chrono::milliseconds duration) override {
        recorder_.Add(Happening::Kind::Pause).number = static_cast<std::size_t>(duration.count());
    }
    void ShowMessage(const std::wstring& /*text*/, MessageKind /*kind*/) override {}
    void ReportMissingFile(const std::wstring& /*path*/) override {}
    void ReportBadFolder(const std::wstring& /*path*/, int /*major*/) override {}

  private:
    Recorder& recorder_;
};

class SimCloser final : public HostCloser {
  public:
    explicit SimCloser(Recorder& recorder) : recorder_(recorder) {}
    void StartClosingHost() override { recorder_.Add(Happening::Kind::CloseHost); }

  private:
    Recorder& recorder_;
};

class SimHost final : public Host {
  public:
    SimHost(Recorder& recorder, const PlanOptions& options, int major, bool named)
        : recorder_(recorder), options_(options), major_(major), named_(named) {}
    void Open() override { Tell(Happening::Kind::OpenHost); }
    void SetInvisible() override { Tell(Happening::Kind::KeepHidden); }
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        if (!FolderForKey(key)) {
            return std::nullopt;
        }
        return SimulatedFolder(options_, major_, named_, key);
    }
    void ImportWorkspace(const std::wstring& /*path*/) override {}
    void Release() noexcept override {
        try {
            Tell(Happening::Kind::ReleaseHost);
        } catch (...) {
            // Only the record of it is lost.
        }
    }

  private:
    void Tell(Happening::Kind kind) {
        recorder_.Add(kind).number = static_cast<std::size_t>(major_);
    }

    Recorder& recorder_;
    const PlanOptions& options_;
    int major_;
    bool named_;
};

// Answers for the add-on folder by looking; the host's folders are on the user's machine, where
// a file to delete is taken to be there.
class SimFiles final : public FileSystemOps {
  public:
    SimFiles(Recorder& recorder, std::wstring appFolder, const PlanOptions& options)
        : recorder_(recorder), appFolder_(std::move(appFolder)), options_(options) {}
    bool FileExists(const std::wstring& path) override {
        Happening& h = recorder_.Add(Happening::Kind::Exists, {}, path);
        h.assumed = !path.starts_with(appFolder_);
        h.answer =
            options_.present.contains(path) ||
            (h.assumed ? options_.hostFilesThere
                       : FoundOnWindows(LookUpFile(LocalPath(
                             appFolder_, std::wstring_view(path).substr(appFolder_.size())))));
        return h.answer;
    }
    void CopyFileInto(const std::wstring& /*source*/, const std::wstring& /*folder*/) override {}
    void RemoveFile(const std::wstring& /*path*/) override {}

  private:
    Recorder& recorder_;
    std::wstring appFolder_;
    const PlanOptions& options_;
};

// The record of an add-on with an id: nothing is written, and undoing always succeeds, so that the
// run's messages say what they say where it does.
class SimRecord final : public RunRecord {
  public:
    explicit SimRecord(Recorder& recorder) : recorder_(recorder) {}
    void VersionStarting(int /*major*/) override {}
    std::unique_ptr<FileSystemOps> Recording(std::unique_ptr<FileSystemOps> files) override {
        return files;
    }
    void Importing(const std::wstring& /*path*/) override {}
    void Commit() override { recorder_.Add(Happening::Kind::Commit); }
    bool Undo() noexcept override { return true; }

  private:
    Recorder& recorder_;
};

} // namespace

std::size_t EndOfRow(std::span<const Happening> all, std::size_t item) {
    std::size_t end = item + 1;
    while (end < all.size() && all[end].row == all[item].row &&
           all[end].kind != Happening::Kind::Item && all[end].kind != Happening::Kind::Ended &&
           all[end].kind != Happening::Kind::KeepHidden) {
        ++end;
    }
    return end;
}

const Happening* StopOfRow(std::span<const Happening> all, std::size_t item) {
    const std::size_t end = EndOfRow(all, item);
    const bool stop = end < all.size() && all[end].kind == Happening::Kind::Ended &&
                      all[end].row == all[item].row && IsAbortReport(all[end].outcome);
    return stop ? &all[end] : nullptr;
}

void SimulatePastStops(SharedState state, PlanOptions options,
                       const std::function<void(const Simulation&)>& look) {
    // Each stop is passed for good, so there are at most two a row in each version.
    const std::size_t rows = state.FileItems ? state.FileItems->size() : 0;
    const std::size_t versions = std::max<std::size_t>(state.HostVersions.size(), 1);
    for (std::size_t attempt = 0; attempt <= 2 * rows * versions; ++attempt) {
        const Simulation run = Simulate(state, options);
        look(run);
        const Happening& end = run.happenings.back();
        if (end.kind != Happening::Kind::Ended || !end.row || !IsAbortReport(end.outcome)) {
            return;
        }
        if (end.outcome == RunOutcome::BadFolder) {
            (*state.FileItems)[*end.row].Required = L"0";
            continue;
        }
        for (const Happening& h : run.happenings) {
            if (h.kind == Happening::Kind::Exists && h.row == end.row && !h.answer) {
                options.present.insert(h.path);
            }
        }
    }
}

std::wstring SimulatedFolder(const PlanOptions& options, int major, bool named,
                             const std::wstring& key) {
    for (const HostFolders* folders :
         {options.versionFolders.contains(major) ? &options.versionFolders.at(major) : nullptr,
          &options.folders}) {
        if (folders != nullptr && folders->contains(key)) {
            return folders->at(key);
        }
    }
    return L"<" + (named ? HostVersionDisplayName(major) + L":" : L"") + key + L">";
}

Simulation Simulate(const SharedState& state, const PlanOptions& options) {
    Simulation simulation;
    Recorder recorder(simulation);
    SimWindow window(recorder);
    SimCloser closer(recorder);
    std::unique_ptr<Host> hostApp;
    std::unique_ptr<FileSystemOps> fileSystem;
    const bool named = !state.HostVersions.empty();
    RunServices services{window, closer,
                         [&](std::span<const int> versions) {
                             // The user's registry can't be read from here: every version named is
                             // taken to be installed, unless the packager says otherwise.
                             std::vector<int> installed;
                             std::copy_if(versions.begin(), versions.end(),
                                          std::back_inserter(installed), [&](int major) {
                                              return !options.installed ||
                                                     std::find(options.installed->begin(),
                                                               options.installed->end(),
                                                               major) != options.installed->end();
                                          });
                             recorder.Add(Happening::Kind::FindHosts);
                             simulation.installed = installed;
                             return installed;
                         },
                         [&](int major) -> std::unique_ptr<Host> {
                             return std::make_unique<SimHost>(recorder, options, major, named);
                         },
                         [&]() -> std::unique_ptr<FileSystemOps> {
                             return std::make_unique<SimFiles>(recorder, state.AppFolder, options);
                         }};
    services.observer = &recorder;
    SimRecord record(recorder);
    if (!state.AddonId.empty()) {
        services.record = &record;
    }
    simulation.outcome = RunInstallation(state, RunMembers{hostApp, fileSystem}, services);
    return simulation;
}

} // namespace tamrick
