#include "pack.h"

#include "cabinet.h"
#include "check.h"
#include "description/decode.h"
#include "description/model.h"
#include "description/platform.h"
#include "description/reader.h"
#include "disk.h"
#include "files.h"
#include "payload_files.h"
#include "setup/payload.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace tamrick {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// A failure that the packager reads as the reason nothing was written.
struct PackError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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
    PayloadFile file;
    bool fromDistribution = false;
};

// The folder that a file's path names; "." for a bare name.
std::wstring ParentFolder(const std::wstring& path) {
#ifdef _WIN32
    const auto cut = path.find_last_of(L"\\/");
#else
    const auto cut = path.rfind(L'/');
#endif
    if (cut == std::wstring::npos) {
        return L".";
    }
    return path.substr(0, cut == 0 ? 1 : cut);
}

// The names left out, for the listing: the first few, then how many more.
std::string LeftOutListing(const std::vector<std::wstring>& names) {
    constexpr std::size_t kShown = 5;
    if (names.empty()) {
        return "";
    }
    std::string listing =
        "left out, not named by the description: " + Counted(names.size(), "file") + "\n";
    for (std::size_t i = 0; i < names.size() && i < kShown; ++i) {
        listing += "  " + ToUtf8(names[i]) + "\n";
    }
    if (names.size() > kShown) {
        listing += "  and " + std::to_string(names.size() - kShown) + " more\n";
    }
    return listing;
}

std::optional<std::wstring> FindShipped(const std::vector<std::wstring>& folders,
                                        const wchar_t* name) {
    for (const std::wstring& folder : folders) {
        std::wstring candidate = disk::Join(folder, name);
        if (disk::FileSize(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string ReadHead(const std::wstring& path, std::size_t size) {
    const disk::UniqueFile in = disk::Open(path, false);
    std::string head(size, '\0');
    head.resize(in ? std::fread(head.data(), 1, size, in.get()) : 0);
    return head;
}

// The setup program, which must end where its sections end: the payload goes right there.
std::wstring SetupProgram(const std::vector<std::wstring>& folders) {
    const std::optional<std::wstring> stub = FindShipped(folders, kSetupProgramName);
    if (!stub) {
        throw PackError("the setup program TamrickSetup.exe was not found (looked in the "
                        "folder named by TAMRICK_DIST and beside instinfo)");
    }
    const std::optional<std::uint64_t> end =
        payload::EndOfSections(ReadHead(*stub, payload::kPeHeadBytes));
    if (!end || *end != disk::FileSize(*stub)) {
        throw PackError(ToUtf8(*stub) + " is not the setup program as built (it is no Windows "
                                        "program, or it has data after its sections)");
    }
    return *stub;
}

// Copies a file's bytes to `out` (when given), feeding them to `crc` (when given).
void CopyInto(const std::wstring& from, std::FILE* out, payload::Crc32* crc) {
    const disk::UniqueFile in = disk::Open(from, false);
    if (!in) {
        throw PackError(ToUtf8(from) + " can't be read");
    }
    std::string buffer(kChunk, '\0');
    for (std::size_t got = 0; (got = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0;) {
        if (crc != nullptr) {
            crc->Update(buffer.data(), got);
        }
        if (out != nullptr && std::fwrite(buffer.data(), 1, got, out) != got) {
            return; // the caller sees the writing error when it closes the file
        }
    }
    if (std::ferror(in.get()) != 0) {
        throw PackError(ToUtf8(from) + " can't be read");
    }
}

std::uint32_t FileCrc(const std::wstring& path) {
    payload::Crc32 crc;
    CopyInto(path, nullptr, &crc);
    return crc.value();
}

// Files that exist only while the setup is written; removed on every way out.
class PartFiles {
  public:
    explicit PartFiles(const std::wstring& output)
        : cabinet_(output + L".cab.part"), setup_(output + L".part") {}
    ~PartFiles() {
        disk::RemoveQuietly(cabinet_);
        disk::RemoveQuietly(setup_);
    }
    PartFiles(const PartFiles&) = delete;
    PartFiles& operator=(const PartFiles&) = delete;
    const std::wstring& cabinet() const { return cabinet_; }
    const std::wstring& setup() const { return setup_; }

  private:
    std::wstring cabinet_;
    std::wstring setup_;
};

void WriteSetup(const std::wstring& stub, const std::vector<Source>& files,
                const std::wstring& title, const std::wstring& output) {
    const PartFiles parts(output);
    std::vector<CabinetEntry> entries;
    entries.reserve(files.size());
    for (const Source& f : files) {
        entries.push_back(CabinetEntry{f.file.name, f.file.path});
    }
    try {
        WriteCabinet(entries, parts.cabinet());
    } catch (const std::runtime_error& e) {
        throw PackError(ToUtf8(output) + " can't be written: " + e.what());
    }
    payload::Header header;
    header.payloadLength = disk::FileSize(parts.cabinet()).value_or(0);
    header.crc32 = FileCrc(parts.cabinet());
    header.title = title;
    {
        disk::UniqueFile out = disk::Open(parts.setup(), true);
        if (!out) {
            throw PackError(ToUtf8(output) + " can't be written");
        }
        CopyInto(stub, out.get(), nullptr);
        const std::string bytes = payload::EncodeHeader(header);
        std::fwrite(bytes.data(), 1, bytes.size(), out.get());
        CopyInto(parts.cabinet(), out.get(), nullptr);
        const bool failed = std::ferror(out.get()) != 0;
        if (std::fclose(out.release()) != 0 || failed) {
            throw PackError(ToUtf8(output) + " can't be written (is the disk full?)");
        }
    }
    if (const auto failure = disk::MoveReplacing(parts.setup(), output)) {
        throw PackError(ToUtf8(output) + " can't be written: " + *failure);
    }
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
    if (std::wstring own = disk::OwnFolder(); !own.empty()) {
        folders.push_back(std::move(own));
    }
#ifdef TAMRICK_BUILT_DIST
    folders.emplace_back(TAMRICK_BUILT_DIST);
#endif
    return folders;
}

std::wstring DefaultSetupName(const std::wstring& folder) {
    const std::wstring name = disk::FolderName(folder);
    return (name.empty() ? std::wstring(L"addon") : name) + L"-setup.exe";
}

int Pack(const PackOptions& options, const Printer& out, const Printer& err) {
    const std::wstring& root = options.folder;
    const std::wstring fileName = options.folder + kDescriptionName;
    if (!disk::IsFolder(root)) {
        err("instinfo pack: " + ToUtf8(options.folder) + " is not a folder\n");
        return 1;
    }
    const std::wstring output = options.output.value_or(DefaultSetupName(options.folder));
    if (const std::wstring parent = ParentFolder(output); !disk::IsFolder(parent)) {
        err("instinfo pack: " + ToUtf8(output) + " can't be written: the folder " + ToUtf8(parent) +
            " does not exist\n");
        return 1;
    }
    const CheckReport report = CheckFolder(options.folder);
    out(CheckText(report, fileName));
    const DescriptionRead read = ReadDescription(options.folder);
    const PayloadSelection selection = SelectPayload(root, read.description);
    // The setup's own unpacker would refuse these names, so no setup can carry them.
    if (const std::size_t unpackable = selection.problems.size(); unpackable > 0) {
        err("instinfo pack: refused: " + Counted(unpackable, "error") +
            " above can't go into any setup, not even with --force; fix " +
            (unpackable == 1 ? "it" : "them") + "\n");
        return 1;
    }
    const std::size_t errors = report.Count(Severity::Error);
    if (errors > 0 && !options.force) {
        err("instinfo pack: refused: the check found " + Counted(errors, "error") +
            "; fix it, or pack anyway with --force\n");
        return 1;
    }
    try {
        const std::wstring stub = SetupProgram(options.distribution);
        std::vector<Source> files;
        for (const PayloadFile& f : selection.files) {
            files.push_back(Source{f, false});
        }
        const bool hasInstaller = std::any_of(files.begin(), files.end(), [](const Source& f) {
            return ToLowerText(f.file.name) == ToLowerText(payload::kInstallerName);
        });
        if (!hasInstaller) {
            const std::optional<std::wstring> installer =
                FindShipped(options.distribution, payload::kInstallerName);
            if (!installer) {
                throw PackError("the folder has no TamrickInstaller.exe, and none was found "
                                "beside instinfo to put in");
            }
            files.push_back(Source{PayloadFile{payload::kInstallerName, *installer,
                                               disk::FileSize(*installer).value_or(0)},
                                   true});
            std::sort(files.begin(), files.end(),
                      [](const Source& a, const Source& b) { return a.file.name < b.file.name; });
        }
        std::uint64_t total = 0;
        for (const Source& f : files) {
            total += f.file.size;
        }
        if (total > kMaxCabinetInput) {
            throw PackError("the setup's files hold " + Thousands(total) +
                            " bytes; a setup carries at most " + Thousands(kMaxCabinetInput));
        }
        std::vector<std::wstring> leftOut;
        try {
            leftOut = FilesLeftOut(root, selection.files, output);
        } catch (const std::runtime_error& e) {
            throw PackError(e.what());
        }
        const std::wstring title = read.description.SetupTitle.empty()
                                       ? std::wstring(kProgramTitle)
                                       : read.description.SetupTitle;
        WriteSetup(stub, files, title, output);

        std::string listing = "packed into " + ToUtf8(output) + ":\n";
        for (const Source& f : files) {
            listing += "  " + ToUtf8(f.file.name) + "  " + Thousands(f.file.size) +
                       (f.file.size == 1 ? " byte" : " bytes") +
                       (f.fromDistribution ? "  (from " + ToUtf8(f.file.path) + ")" : "") + "\n";
        }
        if (!hasInstaller) {
            listing += "note: the folder has no TamrickInstaller.exe: the installer of this "
                       "distribution went in\n";
        }
        listing += LeftOutListing(leftOut);
        listing += "setup: " + ToUtf8(output) + ", " +
                   Thousands(disk::FileSize(output).value_or(0)) + " bytes (" +
                   Counted(files.size(), "file") + ", " + Thousands(total) +
                   " bytes unpacked; setup program " + Thousands(disk::FileSize(stub).value_or(0)) +
                   " bytes)\n";
        out(listing);
        return 0;
    } catch (const PackError& e) {
        err("instinfo pack: " + std::string(e.what()) + "\n");
    }
    return 1;
}

} // namespace tamrick
