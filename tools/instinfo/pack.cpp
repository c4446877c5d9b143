#include "pack.h"

#include "cabinet.h"
#include "check.h"
#include "description/decode.h"
#include "description/model.h"
#include "description/platform.h"
#include "description/reader.h"
#include "files.h"
#include "setup/payload.h"
#include "text.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include "base/executable_path.h"
#endif

namespace fs = std::filesystem;

namespace tamrick {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// A failure that the packager reads as the reason nothing was written.
struct PackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Utf8Path(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return {utf8.begin(), utf8.end()};
}

std::wstring WidePath(const fs::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    std::wstring wide;
    AppendUtf8(Utf8Path(path), wide);
    return wide;
#endif
}

std::string Thousands(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped.push_back(',');
        }
        grouped.push_back(digits[i]);
    }
    return grouped;
}

struct Source {
    std::wstring name; // with "\" between folders
    fs::path path;
    std::uint64_t size = 0;
    bool fromDistribution = false;
};

// Every file under the folder, by name; the setup being written is left out when it lies there.
std::vector<Source> CollectFiles(const fs::path& root, const fs::path& output) {
    std::vector<Source> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
    if (ec) {
        throw PackError("the folder can't be read: " + ec.message());
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) {
            throw PackError("the folder can't be read: " + ec.message());
        }
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) {
            continue;
        }
        if (fs::equivalent(it->path(), output, fileEc)) {
            continue;
        }
        std::wstring name;
        for (const fs::path& part : fs::relative(it->path(), root)) {
            if (!name.empty()) {
                name.push_back(L'\\');
            }
            name += WidePath(part);
        }
        files.push_back(Source{std::move(name), it->path(), it->file_size(), false});
    }
    std::sort(files.begin(), files.end(),
              [](const Source& a, const Source& b) { return a.name < b.name; });
    return files;
}

// Names that Windows can't hold apart or can't create at all would fail on the user's machine.
void CheckNames(const std::vector<Source>& files) {
    std::map<std::wstring, std::wstring> seen;
    for (const Source& f : files) {
        if (!payload::IsSafeEntryName(f.name)) {
            throw PackError("\"" + ToUtf8(f.name) +
                            "\" is not a name that Windows can create (a device name, a colon, a "
                            "reserved character, or a dot or space at the end); rename it");
        }
        const auto [at, added] = seen.emplace(ToLowerText(f.name), f.name);
        if (!added) {
            throw PackError("\"" + ToUtf8(at->second) + "\" and \"" + ToUtf8(f.name) +
                            "\" differ only in case and would be one file on Windows");
        }
    }
}

std::optional<fs::path> FindShipped(const std::vector<std::wstring>& folders, const wchar_t* name) {
    for (const std::wstring& folder : folders) {
        const fs::path candidate = FsPath(folder) / FsPath(name);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string ReadHead(const fs::path& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    std::string head(size, '\0');
    in.read(head.data(), static_cast<std::streamsize>(size));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

// The setup program, which must end where its sections end: the payload goes right there.
fs::path SetupProgram(const std::vector<std::wstring>& folders) {
    const std::optional<fs::path> stub = FindShipped(folders, kSetupProgramName);
    if (!stub) {
        throw PackError("the setup program TamrickSetup.exe was not found (looked in the "
                        "folder named by TAMRICK_DIST and beside instinfo)");
    }
    const std::optional<std::uint64_t> end =
        payload::EndOfSections(ReadHead(*stub, payload::kPeHeadBytes));
    if (!end || *end != fs::file_size(*stub)) {
        throw PackError(Utf8Path(*stub) + " is not the setup program as built (it is no Windows "
                                          "program, or it has data after its sections)");
    }
    return *stub;
}

// Copies a file's bytes to `out`, feeding them to `crc` when given.
void CopyInto(const fs::path& from, std::ofstream& out, payload::Crc32* crc) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        throw PackError(Utf8Path(from) + " can't be read");
    }
    std::string buffer(kChunk, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (crc != nullptr) {
            crc->Update(buffer.data(), got);
        }
        out.write(buffer.data(), static_cast<std::streamsize>(got));
    }
    if (in.bad()) {
        throw PackError(Utf8Path(from) + " can't be read");
    }
}

std::uint32_t FileCrc(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    payload::Crc32 crc;
    std::string buffer(kChunk, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        crc.Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw PackError(Utf8Path(path) + " can't be read");
    }
    return crc.value();
}

// Files that exist only while the setup is written; removed on every way out.
class PartFiles {
  public:
    explicit PartFiles(const fs::path& output)
        : cabinet_(fs::path(output) += ".cab.part"), setup_(fs::path(output) += ".part") {}
    ~PartFiles() {
        std::error_code ec;
        fs::remove(cabinet_, ec);
        fs::remove(setup_, ec);
    }
    PartFiles(const PartFiles&) = delete;
    PartFiles& operator=(const PartFiles&) = delete;
    const fs::path& cabinet() const { return cabinet_; }
    const fs::path& setup() const { return setup_; }

  private:
    fs::path cabinet_;
    fs::path setup_;
};

void WriteSetup(const fs::path& stub, const std::vector<Source>& files, const std::wstring& title,
                const fs::path& output) {
    const PartFiles parts(output);
    std::vector<CabinetEntry> entries;
    entries.reserve(files.size());
    for (const Source& f : files) {
        entries.push_back(CabinetEntry{f.name, WidePath(f.path)});
    }
    try {
        WriteCabinet(entries, WidePath(parts.cabinet()));
    } catch (const std::runtime_error& e) {
        throw PackError(e.what());
    }
    payload::Header header;
    header.payloadLength = fs::file_size(parts.cabinet());
    header.crc32 = FileCrc(parts.cabinet());
    header.title = title;
    {
        std::ofstream out(parts.setup(), std::ios::binary | std::ios::trunc);
        if (!out) {
            throw PackError(Utf8Path(output) + " can't be written");
        }
        CopyInto(stub, out, nullptr);
        const std::string bytes = payload::EncodeHeader(header);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        CopyInto(parts.cabinet(), out, nullptr);
        out.close();
        if (!out) {
            throw PackError(Utf8Path(output) + " can't be written (is the disk full?)");
        }
    }
    std::error_code ec;
    fs::rename(parts.setup(), output, ec);
    if (ec) {
        throw PackError(Utf8Path(output) + " can't be written: " + ec.message());
    }
}

fs::path OwnFolder() {
#ifdef _WIN32
    return fs::path(ExecutablePath()).parent_path();
#else
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path();
#endif
}

} // namespace

std::vector<std::wstring> DistributionFolders() {
    std::vector<std::wstring> folders;
#ifdef _WIN32
    if (const wchar_t* given = _wgetenv(L"TAMRICK_DIST"); given != nullptr && *given != 0) {
        folders.emplace_back(given);
    }
#else
    if (const char* given = std::getenv("TAMRICK_DIST"); given != nullptr && *given != 0) {
        std::wstring wide;
        AppendUtf8(given, wide);
        folders.push_back(std::move(wide));
    }
#endif
    if (const fs::path own = OwnFolder(); !own.empty()) {
        folders.push_back(WidePath(own));
    }
#ifdef TAMRICK_BUILT_DIST
    folders.emplace_back(TAMRICK_BUILT_DIST);
#endif
    return folders;
}

std::wstring DefaultSetupName(const std::wstring& folder) {
    std::error_code ec;
    fs::path absolute = fs::absolute(FsPath(folder), ec).lexically_normal();
    if (absolute.filename().empty()) {
        absolute = absolute.parent_path();
    }
    const std::wstring name = WidePath(absolute.filename());
    return (name.empty() ? std::wstring(L"addon") : name) + L"-setup.exe";
}

int Pack(const PackOptions& options, const Printer& out, const Printer& err) {
    const fs::path root = FsPath(options.folder);
    const std::wstring fileName = options.folder + kDescriptionName;
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        err("instinfo pack: " + ToUtf8(options.folder) + " is not a folder\n");
        return 1;
    }
    const CheckReport report = CheckFolder(options.folder);
    out(CheckText(report, fileName));
    const std::size_t errors = report.Count(Severity::Error);
    if (errors > 0 && !options.force) {
        err("instinfo pack: refused: the check found " + Counted(errors, "error") +
            "; fix it, or pack anyway with --force\n");
        return 1;
    }
    const fs::path output = FsPath(options.output.value_or(DefaultSetupName(options.folder)));
    try {
        const fs::path stub = SetupProgram(options.distribution);
        std::vector<Source> files = CollectFiles(root, output);
        const bool hasInstaller = std::any_of(files.begin(), files.end(), [](const Source& f) {
            return ToLowerText(f.name) == ToLowerText(payload::kInstallerName);
        });
        if (!hasInstaller) {
            const std::optional<fs::path> installer =
                FindShipped(options.distribution, payload::kInstallerName);
            if (!installer) {
                throw PackError("the folder has no TamrickInstaller.exe, and none was found "
                                "beside instinfo to put in");
            }
            files.push_back(
                Source{payload::kInstallerName, *installer, fs::file_size(*installer), true});
            std::sort(files.begin(), files.end(),
                      [](const Source& a, const Source& b) { return a.name < b.name; });
        }
        CheckNames(files);
        std::uint64_t total = 0;
        for (const Source& f : files) {
            total += f.size;
        }
        if (total > kMaxCabinetInput) {
            throw PackError("the folder holds " + Thousands(total) +
                            " bytes; a setup carries at most " + Thousands(kMaxCabinetInput));
        }
        const DescriptionRead read = ReadDescription(options.folder);
        const std::wstring title = read.description.SetupTitle.empty()
                                       ? std::wstring(kProgramTitle)
                                       : read.description.SetupTitle;
        WriteSetup(stub, files, title, output);

        std::string listing = "packed into " + Utf8Path(output) + ":\n";
        for (const Source& f : files) {
            listing += "  " + ToUtf8(f.name) + "  " + Thousands(f.size) +
                       (f.size == 1 ? " byte" : " bytes") +
                       (f.fromDistribution ? "  (from " + Utf8Path(f.path) + ")" : "") + "\n";
        }
        if (!hasInstaller) {
            listing += "note: the folder has no TamrickInstaller.exe: the installer of this "
                       "distribution went in\n";
        }
        listing += "setup: " + Utf8Path(output) + ", " + Thousands(fs::file_size(output)) +
                   " bytes (" + Counted(files.size(), "file") + ", " + Thousands(total) +
                   " bytes unpacked; setup program " + Thousands(fs::file_size(stub)) + " bytes)\n";
        out(listing);
        return 0;
    } catch (const PackError& e) {
        err("instinfo pack: " + std::string(e.what()) + "\n");
    } catch (const fs::filesystem_error& e) {
        err("instinfo pack: " + std::string(e.what()) + "\n");
    }
    return 1;
}

} // namespace tamrick
