#include "payload_files.h"

#include "description/model.h"
#include "description/platform.h"
#include "disk.h"
#include "install/run.h"
#include "setup/payload.h"
#include "text.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace tamrick {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The names between separators; "." and empty ones lead nowhere, as on Windows.
std::vector<std::wstring> Parts(std::wstring_view written) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (std::size_t i = 0; i <= written.size(); ++i) {
        if (i < written.size() && !IsSeparator(written[i])) {
            part.push_back(written[i]);
            continue;
        }
        if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        part.clear();
    }
    return parts;
}

// Why a name as the description writes it does not stay inside the folder; empty when it does.
std::wstring OutsideReason(std::wstring_view written) {
    if (written.size() >= 2 && IsSeparator(written[0]) && IsSeparator(written[1])) {
        return L"a network (UNC) path";
    }
    if (!written.empty() && IsSeparator(written[0])) {
        return L"an absolute path";
    }
    if (written.size() >= 2 && written[1] == L':') {
        return L"a drive";
    }
    const std::vector<std::wstring> parts = Parts(written);
    if (std::find(parts.begin(), parts.end(), L"..") != parts.end()) {
        return L"a \"..\" step up";
    }
    return L"";
}

struct Found {
    std::optional<PayloadFile> file;
    std::wstring link; // the link that stopped the way, as named inside the folder
    bool linkIsFile = false;
};

// Follows the name from the folder one entry at a time, each as Windows finds it, and stops at
// a link rather than follow it.
Found Resolve(const std::wstring& folder, std::wstring_view written) {
    Found found;
    std::wstring dir = folder;
    std::wstring name;
    const std::vector<std::wstring> parts = Parts(written);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::optional<disk::Entry> entry = disk::FindEntry(dir, parts[i]);
        if (!entry) {
            return found;
        }
        name += (name.empty() ? L"" : L"\\") + entry->name;
        const bool last = i + 1 == parts.size();
        if (entry->kind == disk::EntryKind::Link) {
            found.link = name;
            found.linkIsFile = last;
            return found;
        }
        if (last && entry->kind == disk::EntryKind::File) {
            found.file = PayloadFile{name, disk::Join(dir, entry->name), entry->size};
        }
        if (entry->kind != disk::EntryKind::Folder) {
            return found;
        }
        dir = disk::Join(dir, entry->name);
    }
    return found;
}

class Selector {
  public:
    explicit Selector(const std::wstring& folder) : folder_(folder) {}

    // A file that the setup carries when it is there; `what` names it in a message.
    void Take(const std::wstring& what, std::wstring_view written, std::size_t line) {
        if (Parts(written).empty()) {
            return; // no file name: the check reports it
        }
        const std::wstring subject = what + L" " + Quote(written);
        if (const std::wstring reason = OutsideReason(written); !reason.empty()) {
            Add(line, "payload-outside",
                subject + L" is not inside the add-on folder (" + reason +
                    L"): a setup carries only the folder's own files; move the file into the "
                    L"folder and name it from there");
            return;
        }
        Found found = Resolve(folder_, written);
        if (!found.link.empty()) {
            Add(line, "payload-link",
                subject + (found.linkIsFile ? L" is" : L": " + Quote(found.link) + L" is") +
                    L" a symbolic link or junction: packing never follows links, so a setup "
                    L"can't carry it; put the " +
                    (found.linkIsFile ? L"file" : L"folder") + L" itself there");
            return;
        }
        if (found.file) {
            std::wstring name = found.file->name;
            chosen_.try_emplace(std::move(name), Chosen{std::move(*found.file), what, line});
        }
    }

    PayloadSelection Finish() {
        PayloadSelection selection;
        std::vector<const Chosen*> byLine;
        for (const auto& [name, chosen] : chosen_) {
            selection.files.push_back(chosen.file);
            byLine.push_back(&chosen);
            if (!payload::IsSafeEntryName(name)) {
                Add(chosen.line, "payload-name",
                    Subject(chosen) +
                        L" is not a name that Windows can create (a device name, a colon, a "
                        L"reserved character, or a dot or space at the end): a setup can't "
                        L"unpack it; rename it");
            }
        }
        std::stable_sort(byLine.begin(), byLine.end(),
                         [](const Chosen* a, const Chosen* b) { return a->line < b->line; });
        std::map<std::wstring, const Chosen*> folded;
        for (const Chosen* c : byLine) {
            const auto [first, added] = folded.emplace(ToLowerText(c->file.name), c);
            if (!added) {
                const Chosen& earlier = *first->second;
                Add(c->line, "payload-case",
                    Subject(*c) + L" and " + Subject(earlier) +
                        (earlier.line == 0 ? L"" : L" on line " + std::to_wstring(earlier.line)) +
                        L" differ only in case: Windows holds them as one file, so a setup "
                        L"can't carry both; rename one of them");
            }
        }
        std::stable_sort(
            problems_.begin(), problems_.end(),
            [](const PayloadProblem& a, const PayloadProblem& b) { return a.line < b.line; });
        selection.problems = std::move(problems_);
        return selection;
    }

  private:
    struct Chosen {
        PayloadFile file;
        std::wstring what;
        std::size_t line = 0;
    };

    static std::wstring Subject(const Chosen& c) { return c.what + L" " + Quote(c.file.name); }

    void Add(std::size_t line, std::string code, std::wstring message) {
        problems_.push_back(PayloadProblem{line, std::move(code), std::move(message)});
    }

    const std::wstring& folder_;
    std::map<std::wstring, Chosen> chosen_; // by the name it is unpacked as: one entry a file
    std::vector<PayloadProblem> problems_;
};

} // namespace

PayloadSelection SelectPayload(const std::wstring& folder, const ParsedDescription& description) {
    Selector selector(folder);
    selector.Take(L"the description", kDescriptionName, 0);
    selector.Take(L"banner", description.FlagsPicture, description.FlagsPictureLine);
    if (description.FileItems) {
        const FileItemTable& items = *description.FileItems;
        for (std::size_t row = 0; row < items.size(); ++row) {
            const FileItem& item = items[row];
            const ItemFolderUse use = FolderUseOf(item);
            const std::size_t line =
                row < description.ItemLines.size() ? description.ItemLines[row] : 0;
            if (use == ItemFolderUse::Import) {
                selector.Take(L"import source", item.SourceName, line);
            } else if (use != ItemFolderUse::None && item.Action == kActionCopy) {
                selector.Take(L"copy source", item.SourceName, line);
            }
        }
    }
    // The setup starts the folder's own installer where it has one.
    selector.Take(L"the installer", payload::kInstallerName, 0);
    return selector.Finish();
}

std::vector<std::wstring> FilesLeftOut(const std::wstring& folder,
                                       const std::vector<PayloadFile>& files,
                                       const std::wstring& setup) {
    std::set<std::wstring> packed;
    for (const PayloadFile& f : files) {
        packed.insert(f.name);
    }
    std::vector<std::wstring> left;
    for (const disk::FoundFile& f : disk::FilesUnder(folder)) {
        if (!packed.contains(f.name) && !disk::SameFile(f.path, setup)) {
            left.push_back(f.name);
        }
    }
    std::sort(left.begin(), left.end());
    return left;
}

} // namespace tamrick
