#include "record.h"

#include "base/text_case.h"
#include "base/text_encoding.h"
#include "description/host_versions.h"
#include "description/model.h"

#include <algorithm>
#include <array>

namespace tamrick {
namespace {

constexpr char kSeparator = '\t';
constexpr std::string_view kHeader = "tamrick-record";

std::string Field(std::wstring_view text) {
    std::wstring clean(text);
    std::replace_if(
        clean.begin(), clean.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; }, L' ');
    return ToUtf8(clean);
}

std::string Join(std::initializer_list<std::string_view> fields) {
    std::string line;
    for (const std::string_view field : fields) {
        if (!line.empty()) {
            line += kSeparator;
        }
        line += field;
    }
    return line;
}

// A line's fields; more than a line of ours has make it no line of ours.
struct Fields {
    static constexpr std::size_t kMost = 6;
    std::string_view at[kMost];
    std::size_t size = 0; // kMost + 1: too many

    std::string_view operator[](std::size_t i) const { return at[i]; }
    std::string_view back() const { return at[size - 1]; }
};

Fields Split(std::string_view line) {
    Fields fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t tab = line.find(kSeparator, begin);
        if (fields.size == Fields::kMost) {
            fields.size = Fields::kMost + 1;
            return fields;
        }
        fields.at[fields.size++] =
            line.substr(begin, tab == std::string_view::npos ? tab : tab - begin);
        if (tab == std::string_view::npos) {
            return fields;
        }
        begin = tab + 1;
    }
}

// A decimal number from 1 on, without sign or leading zero.
std::optional<std::uint64_t> Number(std::string_view text) {
    if (text.empty() || text.size() > 19 || text[0] == '0') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

bool IsSha256(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// A text field: UTF-8 without control characters.
bool Text(std::string_view field, std::wstring& out) {
    if (!IsValidUtf8(field) || std::any_of(field.begin(), field.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        })) {
        return false;
    }
    out = FromUtf8(field);
    return true;
}

class Parser {
  public:
    bool Line(std::string_view line) {
        const Fields f = Split(line);
        if (!headerRead_) {
            headerRead_ = true;
            return Header(f);
        }
        const std::string_view kind = f[0];
        if (kind == "release") {
            return ReleaseEntry(f);
        }
        if (kind == "write") {
            return ChangeEntry(f, ChangeKind::Write, 6);
        }
        if (kind == "delete") {
            return ChangeEntry(f, ChangeKind::Delete, 4);
        }
        if (kind == "import") {
            return ChangeEntry(f, ChangeKind::Import, 4);
        }
        if (kind == "written") {
            return WrittenEntry(f);
        }
        if (kind == "undone") {
            return UndoneEntry(f);
        }
        if (kind == "done") {
            return DoneEntry(f);
        }
        return false;
    }

    std::optional<Record> Finish() {
        if (!headerRead_) {
            return std::nullopt;
        }
        return std::move(record_);
    }

  private:
    bool Header(const Fields& f) {
        if (f.size != 4 || f[0] != kHeader || f[1] != "1") {
            return false;
        }
        if (f[2] == "machine") {
            record_.scope = RecordScope::Machine;
        } else if (f[2] == "user") {
            record_.scope = RecordScope::User;
        } else {
            return false;
        }
        return Text(f[3], record_.addonId) && IsValidAddonId(record_.addonId);
    }

    bool ReleaseEntry(const Fields& f) {
        if (f.size != 5) {
            return false;
        }
        const std::optional<std::uint64_t> number = Number(f[1]);
        if (!number || *number != record_.releases.size() + 1) {
            return false;
        }
        Release release;
        release.number = static_cast<std::uint32_t>(*number);
        if (!Text(f[2], release.version) || !Text(f[3], release.name) ||
            !Text(f[4], release.publisher)) {
            return false;
        }
        record_.releases.push_back(std::move(release));
        return true;
    }

    bool ChangeEntry(const Fields& f, ChangeKind kind, std::size_t size) {
        if (f.size != size || record_.releases.empty()) {
            return false;
        }
        const std::optional<std::uint64_t> id = Number(f[1]);
        const std::optional<std::uint64_t> major = Number(f[2]);
        if (!id || *id != record_.changes.size() + 1 || !major ||
            *major > static_cast<std::uint64_t>(kLastHostMajor)) {
            return false;
        }
        Change change;
        change.id = *id;
        change.kind = kind;
        change.release = record_.releases.back().number;
        change.major = static_cast<int>(*major);
        if (kind == ChangeKind::Write) {
            if ((f[3] != "0" && f[3] != "1") || !IsSha256(f[4])) {
                return false;
            }
            change.backup = f[3] == "1";
            change.intended = f[4];
        }
        // A delete always has its backup: the file is saved before it goes.
        change.backup = change.backup || kind == ChangeKind::Delete;
        if (!Text(f.back(), change.path) || !IsRecordablePath(change.path)) {
            return false;
        }
        record_.changes.push_back(std::move(change));
        return true;
    }

    bool WrittenEntry(const Fields& f) {
        Change* change = f.size == 3 ? Referenced(f[1]) : nullptr;
        if (change == nullptr || change->kind != ChangeKind::Write || !change->written.empty() ||
            !IsSha256(f[2])) {
            return false;
        }
        change->written = f[2];
        return true;
    }

    bool UndoneEntry(const Fields& f) {
        Change* change = f.size == 2 ? Referenced(f[1]) : nullptr;
        if (change == nullptr) {
            return false;
        }
        change->undone = true;
        return true;
    }

    bool DoneEntry(const Fields& f) {
        const std::optional<std::uint64_t> number = f.size == 2 ? Number(f[1]) : std::nullopt;
        if (!number || *number > record_.releases.size()) {
            return false;
        }
        record_.releases[static_cast<std::size_t>(*number - 1)].done = true;
        return true;
    }

    Change* Referenced(std::string_view field) {
        const std::optional<std::uint64_t> id = Number(field);
        return id ? record_.Find(*id) : nullptr;
    }

    bool headerRead_ = false;
    Record record_;
};

} // namespace

Change* Record::Find(std::uint64_t id) {
    // Ids count from 1 in order, which the reader holds to.
    return id >= 1 && id <= changes.size() ? &changes[static_cast<std::size_t>(id - 1)] : nullptr;
}

const Release* Record::LastDone() const {
    for (auto it = releases.rbegin(); it != releases.rend(); ++it) {
        if (it->done) {
            return &*it;
        }
    }
    return nullptr;
}

std::vector<int> Record::Versions() const {
    // Majors are few and small: a flag for each, which also keeps them ascending.
    std::array<bool, kLastHostMajor + 1> made{};
    for (const Change& change : changes) {
        if (!change.undone) {
            made[static_cast<std::size_t>(change.major)] = true;
        }
    }
    std::vector<int> majors;
    for (int major = 0; major <= kLastHostMajor; ++major) {
        if (made[static_cast<std::size_t>(major)]) {
            majors.push_back(major);
        }
    }
    return majors;
}

std::string HeaderLine(RecordScope scope, std::wstring_view addonId) {
    return Join({kHeader, "1", scope == RecordScope::Machine ? "machine" : "user", Field(addonId)});
}

std::string ReleaseLine(const Release& release) {
    return Join({"release", std::to_string(release.number), Field(release.version),
                 Field(release.name), Field(release.publisher)});
}

std::string ChangeLine(const Change& change) {
    const std::string id = std::to_string(change.id);
    const std::string major = std::to_string(change.major);
    const std::string path = Field(change.path);
    switch (change.kind) {
    case ChangeKind::Write:
        return Join({"write", id, major, change.backup ? "1" : "0", change.intended, path});
    case ChangeKind::Delete:
        return Join({"delete", id, major, path});
    case ChangeKind::Import:
        break;
    }
    return Join({"import", id, major, path});
}

std::string WrittenLine(std::uint64_t id, std::string_view sha256) {
    return Join({"written", std::to_string(id), sha256});
}

std::string UndoneLine(std::uint64_t id) {
    return Join({"undone", std::to_string(id)});
}

std::string DoneLine(std::uint32_t release) {
    return Join({"done", std::to_string(release)});
}

std::optional<Record> ParseRecord(std::string_view bytes) {
    Parser parser;
    std::size_t begin = 0;
    // What follows the last line end was cut off as it was written.
    for (std::size_t end = bytes.find('\n'); end != std::string_view::npos;
         end = bytes.find('\n', begin)) {
        if (!parser.Line(bytes.substr(begin, end - begin))) {
            return std::nullopt;
        }
        begin = end + 1;
    }
    return parser.Finish();
}

bool IsRecordablePath(std::wstring_view path) {
    const bool drive = path.size() >= 3 && AsciiLower(path[0]) >= L'a' &&
                       AsciiLower(path[0]) <= L'z' && path.substr(1, 2) == L":\\";
    const bool share = path.size() >= 5 && path.starts_with(L"\\\\") && path[2] != L'\\';
    if (!drive && !share) {
        return false;
    }
    // Every name between separators: no ".", "..", empty one or character that no path holds.
    std::size_t begin = drive ? 3 : 2;
    for (std::size_t end = begin; end <= path.size(); ++end) {
        const wchar_t c = end < path.size() ? path[end] : L'\\';
        if (c < 0x20 || c == L'/' || c == 0x7F) {
            return false;
        }
        if (c == L'\\') {
            const std::wstring_view name = path.substr(begin, end - begin);
            if (name.empty() || name == L"." || name == L"..") {
                return false;
            }
            begin = end + 1;
        }
    }
    return true;
}

} // namespace tamrick
