#include "log.h"

#include "base/decimal.h"
#include "base/exit_codes.h"

#include <array>
#include <string>

namespace tamrick {
namespace {

// `digits` decimal digits of `value`, leading zeros included.
void AppendNumber(std::wstring& line, unsigned value, int digits) {
    wchar_t text[8] = {};
    for (int i = digits - 1; i >= 0; --i, value /= 10) {
        text[i] = static_cast<wchar_t>(L'0' + value % 10);
    }
    line.append(text, static_cast<std::size_t>(digits));
}

void AppendField(std::wstring& line, std::wstring_view field) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    line += L'\t';
    for (const wchar_t c : field) {
        if (c < 0x20 || c == 0x7F) {
            line += L"\\x";
            line += kHex[(c >> 4) & 0xF];
            line += kHex[c & 0xF];
        } else {
            line += c;
        }
    }
}

} // namespace

std::wstring FormatLogLine(const LogTime& time, std::span<const std::wstring_view> fields) {
    std::wstring line;
    AppendNumber(line, time.year, 4);
    line += L'-';
    AppendNumber(line, time.month, 2);
    line += L'-';
    AppendNumber(line, time.day, 2);
    line += L' ';
    AppendNumber(line, time.hour, 2);
    line += L':';
    AppendNumber(line, time.minute, 2);
    line += L':';
    AppendNumber(line, time.second, 2);
    line += L'.';
    AppendNumber(line, time.millisecond, 3);
    for (const std::wstring_view field : fields) {
        AppendField(line, field);
    }
    return line;
}

void ProgramLog::Write(std::initializer_list<std::wstring_view> fields) {
    if (sink_ == nullptr) {
        return;
    }
    // The program's name, then the fields: no record has more than the item's seven.
    std::array<std::wstring_view, 8> record{program_};
    std::size_t count = 1;
    for (const std::wstring_view field : fields) {
        if (count < record.size()) {
            record[count++] = field;
        }
    }
    sink_->Write(std::span<const std::wstring_view>(record.data(), count));
}

void ProgramLog::Start(std::wstring_view version, std::wstring_view path,
                       std::wstring_view arguments) {
    Write({L"start", version, path, arguments});
}

void ProgramLog::Description(std::wstring_view path, std::wstring_view encoding) {
    Write({L"description", path, encoding});
}

void ProgramLog::DescriptionMissing(std::wstring_view path) {
    Write({L"description", path, L"missing"});
}

void ProgramLog::Setting(std::wstring_view key, std::wstring_view value) {
    Write({L"setting", key, value});
}

void ProgramLog::Item(std::size_t row, std::wstring_view action, std::wstring_view source,
                      std::wstring_view required, std::wstring_view target,
                      std::wstring_view caption) {
    const std::wstring number = DecimalText(row);
    Write({L"item", number, action, source, required, target, caption});
}

void ProgramLog::Host(std::wstring_view name) {
    Write({L"host", name});
}

void ProgramLog::Folder(std::wstring_view version, std::wstring_view key, std::wstring_view path) {
    Write({L"folder", version, key, path});
}

void ProgramLog::Copy(std::wstring_view source, std::wstring_view destination) {
    Write({L"copy", source, destination});
}

void ProgramLog::Import(std::wstring_view path) {
    Write({L"import", path});
}

void ProgramLog::Delete(std::wstring_view path) {
    Write({L"delete", path});
}

void ProgramLog::Skip(std::wstring_view path, std::wstring_view reason) {
    Write({L"skip", path, reason});
}

void ProgramLog::Confirm(std::wstring_view text, std::wstring_view answer) {
    Write({L"confirm", answer, text});
}

void ProgramLog::Message(std::wstring_view kind, std::wstring_view text) {
    Write({L"message", kind, text});
}

void ProgramLog::Note(std::wstring_view text) {
    Write({L"note", text});
}

void ProgramLog::Undo(std::wstring_view what, std::wstring_view path, std::wstring_view why) {
    Write({L"undo", what, path, why});
}

void ProgramLog::End(int code, std::wstring_view meaning) {
    const std::wstring number = DecimalText(code);
    for (const exit_code::Meaning& known : exit_code::kMeanings) {
        if (meaning.empty() && known.code == code) {
            meaning = known.text;
        }
    }
    Write({L"end", number, meaning});
}

} // namespace tamrick
