// Any bytes as an add-on's record: the reader never crashes, and what it accepts holds to the
// format's rules and reads back the same once written again.

#include "check.h"
#include "record/record.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string Written(const tamrick::Record& record) {
    std::string text = tamrick::HeaderLine(record.scope, record.addonId) + "\n";
    for (const tamrick::Release& release : record.releases) {
        text += tamrick::ReleaseLine(release) + "\n";
        for (const tamrick::Change& change : record.changes) {
            if (change.release != release.number) {
                continue;
            }
            text += tamrick::ChangeLine(change) + "\n";
            if (!change.written.empty()) {
                text += tamrick::WrittenLine(change.id, change.written) + "\n";
            }
            if (change.undone) {
                text += tamrick::UndoneLine(change.id) + "\n";
            }
        }
        if (release.done) {
            text += tamrick::DoneLine(release.number) + "\n";
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto record =
        tamrick::ParseRecord(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!record) {
        return 0;
    }
    for (std::size_t i = 0; i < record->changes.size(); ++i) {
        const tamrick::Change& change = record->changes[i];
        Check(change.id == i + 1 && tamrick::IsRecordablePath(change.path));
        Check(change.release >= 1 && change.release <= record->releases.size());
    }
    const auto again = tamrick::ParseRecord(Written(*record));
    Check(again && again->changes.size() == record->changes.size() &&
          again->releases.size() == record->releases.size());
    for (std::size_t i = 0; i < record->changes.size(); ++i) {
        const tamrick::Change& a = record->changes[i];
        const tamrick::Change& b = again->changes[i];
        Check(a.path == b.path && a.kind == b.kind && a.major == b.major && a.backup == b.backup &&
              a.intended == b.intended && a.written == b.written && a.undone == b.undone);
    }
    return 0;
}
