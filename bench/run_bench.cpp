// The installation run's own cost, without its pause: the run over many copy items with the real
// Win32 file operations, against a plain loop of CopyFileW over the same files. Both copy into
// folders of their own in a temporary area; the window, the host and the closer are stand-ins
// that do nothing, so what is left is the walk and the file operations.
//
//   run_bench [--reps N] [--big N] [--small N] [--dir FOLDER] [--breakdown]
//
// --breakdown adds three loops to tell the costs apart: the run's file operations called
// directly (the walk's own cost is the difference), and two hand-written loops that each do
// one half of what those operations add to a plain copy (the existence checks; the temporary
// file and the rename).

#include "base/error.h"
#include "base/handles.h"
#include "base/path_separator.h"
#include "description/decode.h"
#include "install/file_ops_win32.h"
#include "install/run.h"
#include "record/journal.h"
#include "record/record_store_win32.h"
#include "record/removal.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tamrick;

namespace {

// A Win32 call on path failed: the last error, read before anything else can change it.
[[noreturn]] void Fail(const wchar_t* what, const std::wstring& path) {
    const DWORD code = GetLastError();
    throw std::runtime_error(ToUtf8(what + path) + " (error " + std::to_string(code) + ")");
}

struct Options {
    int reps = 5;
    int big = 200;
    int small = 2000;
    std::wstring dir; // empty: a folder in the temporary folder
    bool breakdown = false;
};

Options ParseOptions() {
    int argc = 0;
    const UniqueLocal<wchar_t**> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv.get()[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--breakdown") {
            options.breakdown = true;
        } else if (arg == L"--dir" && hasValue) {
            options.dir = argv.get()[++i];
        } else if (arg == L"--reps" && hasValue) {
            options.reps = std::max(std::stoi(argv.get()[++i]), 1);
        } else if (arg == L"--big" && hasValue) {
            options.big = std::max(std::stoi(argv.get()[++i]), 0);
        } else if (arg == L"--small" && hasValue) {
            options.small = std::max(std::stoi(argv.get()[++i]), 0);
        } else {
            throw std::runtime_error(
                "usage: run_bench [--reps N] [--big N] [--small N] [--dir FOLDER] [--breakdown]");
        }
    }
    return options;
}

// --- The files -----------------------------------------------------------------------------

void WriteFileBytes(const std::wstring& path, const std::vector<char>& bytes, std::size_t size) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail(L"can't create ", path);
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(size), &written, nullptr) ||
        written != size) {
        Fail(L"can't write ", path);
    }
}

struct Listing {
    std::size_t files = 0;
    std::uint64_t bytes = 0;
};

// The files directly in folder; each is deleted too when remove is set.
Listing ListFiles(const std::wstring& folder, bool remove) {
    Listing listing;
    WIN32_FIND_DATAW found;
    const UniqueFindHandle search(FindFirstFileW((folder + L"*").c_str(), &found));
    if (!search) {
        return listing;
    }
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            continue;
        }
        ++listing.files;
        listing.bytes += (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        const std::wstring path = folder + found.cFileName;
        if (remove && !DeleteFileW(path.c_str())) {
            Fail(L"can't delete ", path);
        }
    } while (FindNextFileW(search.get(), &found));
    return listing;
}

void MakeFolder(const std::wstring& folder) {
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        Fail(L"can't create ", folder);
    }
}

// One set of files to install: their names in the source folder, their total size, and the
// description's state with one "c|NAME|1|gmspath|" item per file.
struct FileSet {
    std::string label;
    std::vector<std::wstring> names;
    std::uint64_t bytes = 0;
    SharedState state;
};

// The temporary area: the add-on's source folder and one destination per method. Removed with
// everything in it when the benchmark ends.
class Area {
  public:
    explicit Area(std::wstring root) : root_(std::move(root)) {
        EnsureTrailingSeparator(root_);
        MakeFolder(root_);
        MakeFolder(Source());
    }
    ~Area() {
        try {
            for (const std::wstring& folder : folders_) {
                ListFiles(folder, true);
                RemoveDirectoryW(folder.c_str());
            }
            ListFiles(Source(), true);
            RemoveDirectoryW(Source().c_str());
            RemoveDirectoryW(root_.c_str());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "run_bench: cleaning up: %s\n", e.what());
        }
    }
    Area(const Area&) = delete;
    Area& operator=(const Area&) = delete;

    std::wstring Source() const { return root_ + L"addon\\"; }

    // A destination folder of that name, created empty.
    std::wstring Destination(const std::wstring& name) {
        const std::wstring folder = root_ + name + L"\\";
        MakeFolder(folder);
        ListFiles(folder, true);
        if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end()) {
            folders_.push_back(folder);
        }
        return folder;
    }

    // count files of the given sizes in the source folder, with content that differs from file
    // to file.
    FileSet WriteFiles(std::string label, const wchar_t* stem, int count,
                       const std::function<std::size_t(int)>& sizeOf) {
        FileSet set{std::move(label), {}, 0, {}};
        set.state.AppFolder = Source();
        set.state.FileItems.emplace();
        std::vector<char> bytes;
        std::uint32_t seed = 2463534242u;
        for (int i = 0; i < count; ++i) {
            const std::size_t size = sizeOf(i);
            if (bytes.size() < size) {
                bytes.resize(size);
            }
            for (std::size_t b = 0; b < size; ++b) {
                seed ^= seed << 13;
                seed ^= seed >> 17;
                seed ^= seed << 5;
                bytes[b] = static_cast<char>(seed & 0xFF);
            }
            wchar_t number[16];
            swprintf(number, 16, L"%04d", i);
            std::wstring name = stem + std::wstring(number) + L".bin";
            WriteFileBytes(Source() + name, bytes, size);
            set.state.FileItems->push_back(FileItem{L"c", name, L"1", L"gmspath", L""});
            set.names.push_back(std::move(name));
            set.bytes += size;
        }
        return set;
    }

  private:
    std::wstring root_;
    std::vector<std::wstring> folders_;
};

// --- The stand-ins around the run ----------------------------------------------------------

// Answers OK and does nothing else; keeps the final message to check that the run succeeded.
class QuietWindow : public RunWindow {
  public:
    bool Confirm(const std::wstring&) override { return true; }
    void DisableButton() override {}
    void SetCaption(const std::wstring&) override {}
    void PauseWithEvents(std::chrono::milliseconds) override {}
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        message = text;
        succeeded = kind == MessageKind::Information;
    }
    void ReportMissingFile(const std::wstring& path) override { message = L"missing " + path; }
    void ReportBadFolder(const std::wstring& path, int) override {
        message = L"bad folder " + path;
    }

    std::wstring message;
    bool succeeded = false;
};

class QuietCloser : public HostCloser {
  public:
    void StartClosingHost() override {}
};

// Every host folder is the one destination.
class FolderHost : public Host {
  public:
    explicit FolderHost(std::wstring folder) : folder_(std::move(folder)) {}
    void Open() override {}
    void SetInvisible() override {}
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        return FolderForKey(key) ? std::optional(folder_) : std::nullopt;
    }
    void ImportWorkspace(const std::wstring&) override {}
    void Release() noexcept override {}

  private:
    std::wstring folder_;
};

// --- The methods -----------------------------------------------------------------------------

using Method = std::function<void(const std::wstring& source, const FileSet&,
                                  const std::wstring& destination)>;

// The installation run over the set's items.
void ByRun(const std::wstring&, const FileSet& set, const std::wstring& destination) {
    QuietWindow window;
    QuietCloser closer;
    std::unique_ptr<Host> hostApp;
    std::unique_ptr<FileSystemOps> fileSystem;
    // The description names no versions: the run installs into X3 and asks no finder.
    const RunServices services{
        window, closer, nullptr,
        [&destination](int) { return std::make_unique<FolderHost>(destination); },
        [] { return MakeWin32FileSystem(); }};
    RunInstallation(set.state, RunMembers{hostApp, fileSystem}, services);
    if (!window.succeeded) {
        throw std::runtime_error("the run failed: " + ToUtf8(window.message));
    }
}

// The same run recorded, as an add-on with an id installs: every change written ahead, every copy
// hashed, the entry written at the end. The record folder is kept from one repetition to the
// next, so that replacing is an upgrade that backs up what it replaces.
std::wstring& RecordRoot() {
    static std::wstring root;
    return root;
}
constexpr const wchar_t* kBenchAddonId = L"Tamrick.Bench";

void RecordedRun(const FileSet& set, const std::wstring& destination, const std::wstring& folder) {
    QuietWindow window;
    QuietCloser closer;
    std::unique_ptr<Host> hostApp;
    std::unique_ptr<FileSystemOps> fileSystem;
    SharedState state = set.state;
    state.AddonId = kBenchAddonId;
    state.AddonName = L"run_bench";
    const std::unique_ptr<RecordStore> store =
        MakeWin32RecordStore(RecordPlace{RecordScope::Machine, folder}, kBenchAddonId);
    Journal journal(*store, AddonFactsOf(state, RecordScope::Machine));
    RunServices services{window, closer, nullptr,
                         [&destination](int) { return std::make_unique<FolderHost>(destination); },
                         [] { return MakeWin32FileSystem(); }};
    services.record = &journal;
    RunInstallation(state, RunMembers{hostApp, fileSystem}, services);
    if (!window.succeeded) {
        throw std::runtime_error("the recorded run failed: " + ToUtf8(window.message));
    }
}

// One record folder for each file set.
std::wstring RecordFolderOf(const FileSet& set) {
    return RecordRoot() + std::to_wstring(set.names.size()) + L"\\";
}

void ByRecordedRun(const std::wstring&, const FileSet& set, const std::wstring& destination) {
    RecordedRun(set, destination, RecordFolderOf(set));
}

class QuietRemoval final : public RemovalFace {
  public:
    bool Confirm(const std::wstring&) override { return true; }
    void ShowMessage(const std::wstring& text, MessageKind kind) override {
        message = text;
        removed = kind == MessageKind::Information;
    }
    void Pause(std::chrono::milliseconds) override {}
    std::wstring message;
    bool removed = false;
};

void RemoveRecorded(const std::wstring& folder) {
    QuietRemoval face;
    QuietCloser closer;
    const std::unique_ptr<RecordStore> store =
        MakeWin32RecordStore(RecordPlace{RecordScope::Machine, folder}, kBenchAddonId);
    RunRemoval(RemovalServices{face, closer, *store});
    if (!face.removed) {
        throw std::runtime_error("the removal failed: " + ToUtf8(face.message));
    }
}

void ByCopyLoop(const std::wstring& source, const FileSet& set, const std::wstring& destination) {
    for (const std::wstring& name : set.names) {
        const std::wstring from = source + name;
        const std::wstring to = destination + name;
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
            Fail(L"can't copy ", from);
        }
    }
}

// The run's file operations without the run: what the walk itself adds is the difference.
void ByFileOpsLoop(const std::wstring& source, const FileSet& set,
                   const std::wstring& destination) {
    const std::unique_ptr<FileSystemOps> files = MakeWin32FileSystem();
    for (const std::wstring& name : set.names) {
        const std::wstring from = source + name;
        if (!files->FileExists(from)) {
            throw std::runtime_error("no source " + ToUtf8(from));
        }
        files->CopyFileInto(from, destination);
    }
}

// The plain copy after the two existence checks that the run's copy item makes.
void ByCheckedCopyLoop(const std::wstring& source, const FileSet& set,
                       const std::wstring& destination) {
    for (const std::wstring& name : set.names) {
        const std::wstring from = source + name;
        const std::wstring to = destination + name;
        if (GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) {
            Fail(L"no source ", from);
        }
        GetFileAttributesW(to.c_str());
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
            Fail(L"can't copy ", from);
        }
    }
}

// A copy to a temporary name beside the target, then one rename onto it.
void ByTempRenameLoop(const std::wstring& source, const FileSet& set,
                      const std::wstring& destination) {
    std::size_t copies = 0;
    for (const std::wstring& name : set.names) {
        const std::wstring from = source + name;
        // A fresh name for each, as the file operations use.
        const std::wstring temp = destination + L"~bench-" + std::to_wstring(++copies) + L".tmp";
        const std::wstring to = destination + name;
        if (!CopyFileW(from.c_str(), temp.c_str(), TRUE) ||
            !MoveFileExW(temp.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Fail(L"can't copy ", from);
        }
    }
}

// The first two methods are the run and the plain loop; ratios are to the loop.
constexpr std::size_t kLoop = 1;

struct NamedMethod {
    const char* name;
    const wchar_t* folder;
    Method method;
};

// --- Timing ----------------------------------------------------------------------------------

class Clock {
  public:
    Clock() { QueryPerformanceFrequency(&frequency_); }
    double Seconds(const std::function<void()>& work) const {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        work();
        QueryPerformanceCounter(&end);
        return static_cast<double>(end.QuadPart - start.QuadPart) /
               static_cast<double>(frequency_.QuadPart);
    }

  private:
    LARGE_INTEGER frequency_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

enum class Mode { NewFiles, Replacing };

// Every method's times for one file set in one mode. The methods take turns within each
// repetition, in an order that rotates, so that a slow spell of the machine hits them alike.
std::vector<std::vector<double>> Measure(const Clock& clock, Area& area, const FileSet& set,
                                         Mode mode, const std::vector<NamedMethod>& methods,
                                         int reps) {
    std::vector<std::wstring> folders;
    for (const NamedMethod& m : methods) {
        folders.push_back(area.Destination(m.folder));
    }
    std::vector<std::vector<double>> times(methods.size());
    // One untimed round first: the source files come into the cache, and for replacing, the
    // destinations fill.
    for (int rep = -1; rep < reps; ++rep) {
        for (std::size_t turn = 0; turn < methods.size(); ++turn) {
            const std::size_t m = (turn + static_cast<std::size_t>(rep + 1)) % methods.size();
            if (mode == Mode::NewFiles) {
                ListFiles(folders[m], true);
            }
            const double seconds =
                clock.Seconds([&] { methods[m].method(area.Source(), set, folders[m]); });
            const Listing landed = ListFiles(folders[m], false);
            if (landed.files != set.names.size() || landed.bytes != set.bytes) {
                throw std::runtime_error(std::string(methods[m].name) + " left " +
                                         std::to_string(landed.files) + " files of " +
                                         std::to_string(landed.bytes) + " bytes in " +
                                         ToUtf8(folders[m]));
            }
            if (rep >= 0) {
                times[m].push_back(seconds);
            }
        }
    }
    return times;
}

void PrintResults(const FileSet& set, Mode mode, const std::vector<NamedMethod>& methods,
                  const std::vector<std::vector<double>>& times) {
    const double loopMedian = Median(times[kLoop]);
    const double loopMin = *std::min_element(times[kLoop].begin(), times[kLoop].end());
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const double median = Median(times[m]);
        const double fastest = *std::min_element(times[m].begin(), times[m].end());
        std::printf(
            "%-22s %-10s %-16s %9.1f %9.1f %9.1f %9.1f %7.3f %7.3f\n", set.label.c_str(),
            mode == Mode::NewFiles ? "new files" : "replacing", methods[m].name, fastest * 1e3,
            median * 1e3, median * 1e6 / static_cast<double>(set.names.size()),
            static_cast<double>(set.bytes) / median / 1e6, fastest / loopMin, median / loopMedian);
    }
}

std::wstring DefaultRoot() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) {
        Fail(L"no temporary folder", L"");
    }
    return std::wstring(temp, length) + L"tamrick-run-bench-" +
           std::to_wstring(GetCurrentProcessId());
}

int Main() {
    const Options options = ParseOptions();
    Area area(options.dir.empty() ? DefaultRoot() : options.dir);

    constexpr std::size_t kMegabyte = 1 << 20;
    std::vector<FileSet> sets;
    sets.push_back(area.WriteFiles(std::to_string(options.big) + " x 1 MB", L"big", options.big,
                                   [](int) { return kMegabyte; }));
    // 1 to 4 KB, spread evenly.
    sets.push_back(
        area.WriteFiles(std::to_string(options.small) + " x 1-4 KB", L"small", options.small,
                        [](int i) { return 1024 + static_cast<std::size_t>(i * 769) % 3073; }));

    RecordRoot() = area.Destination(L"records");
    std::vector<NamedMethod> methods = {{"run", L"by-run", ByRun},
                                        {"CopyFileW loop", L"by-loop", ByCopyLoop},
                                        {"run with record", L"by-record", ByRecordedRun}};
    if (options.breakdown) {
        methods.push_back({"file ops loop", L"by-ops", ByFileOpsLoop});
        methods.push_back({"loop+checks", L"by-checks", ByCheckedCopyLoop});
        methods.push_back({"loop+temp+rename", L"by-rename", ByTempRenameLoop});
    }

    std::printf("run_bench: %d repetitions per row, the methods taking turns; times in ms.\n"
                "new files: the destination is emptied before each repetition, so every copy\n"
                "creates its file; replacing: the destination holds the files from the\n"
                "repetition before, so every copy replaces one.\n"
                "ratio: to the CopyFileW loop, of the fastest and of the median repetitions.\n\n",
                options.reps);
    std::printf("%-22s %-10s %-16s %9s %9s %9s %9s %7s %7s\n", "files", "dest", "method", "min",
                "median", "us/file", "MB/s", "r(min)", "r(med)");
    const Clock clock;
    for (const Mode mode : {Mode::NewFiles, Mode::Replacing}) {
        for (const FileSet& set : sets) {
            if (set.names.empty()) {
                continue;
            }
            PrintResults(set, mode, methods,
                         Measure(clock, area, set, mode, methods, options.reps));
            std::fflush(stdout);
        }
    }
    for (const FileSet& set : sets) {
        if (!set.names.empty()) {
            RemoveRecorded(RecordFolderOf(set));
        }
    }

    // The removal of the small files against their recorded installation, each from nothing.
    const FileSet& small = sets.back();
    std::vector<double> installs;
    std::vector<double> removals;
    for (int rep = 0; rep < options.reps; ++rep) {
        const std::wstring destination = area.Destination(L"by-removal");
        const std::wstring folder = RecordRoot() + L"removal\\";
        installs.push_back(clock.Seconds([&] { RecordedRun(small, destination, folder); }));
        removals.push_back(clock.Seconds([&] { RemoveRecorded(folder); }));
        if (ListFiles(destination, false).files != 0) {
            throw std::runtime_error("the removal left files in " + ToUtf8(destination));
        }
    }
    std::printf("\n%-22s recorded installation %9.1f ms, its removal %9.1f ms (medians), "
                "r %7.3f\n",
                small.label.c_str(), Median(installs) * 1e3, Median(removals) * 1e3,
                Median(removals) / Median(installs));
    return 0;
}

} // namespace

int main() {
    try {
        return Main();
    } catch (const Error& e) {
        std::fprintf(stderr, "run_bench: error %d: %s\n", static_cast<int>(e.number()),
                     ToUtf8(e.description()).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "run_bench: %s\n", e.what());
        return 1;
    }
}
