#pragma once
// A log sink for tests: keeps each record as its fields joined by " | ", to compare with literals.

#include "log/log.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class RecordingSink : public tamrick::LogSink {
  public:
    void Write(std::span<const std::wstring_view> fields) override {
        std::wstring record;
        for (const std::wstring_view field : fields) {
            record += (record.empty() ? L"" : L" | ") + std::wstring(field);
        }
        records.push_back(record);
    }
    std::vector<std::wstring> records;
};
