#pragma once
// The log file of /LOG=<file>: opened for appending and shared, so that it can be read while it is
// written, and that the setup and the installer it starts append to the same file. It never
// fails the program: a file that can't be opened or written says so through error(), and the
// program goes on without it.

#include "base/handles.h"
#include "log/log.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tamrick {

class LogFile final : public LogSink {
  public:
    // Opens the file, creating it (but not its folder) when it is not there. A relative path is
    // taken from the current folder.
    explicit LogFile(const std::wstring& path) noexcept;

    bool IsOpen() const noexcept { return static_cast<bool>(file_); }
    // The first failure, of opening or of a write; 0 while there was none.
    DWORD error() const noexcept { return error_; }

    // One record as one line, stamped with the local time and written in one piece: a reader
    // never sees half a line, and two programs appending at once never mix their lines. A new
    // file starts with a UTF-8 byte-order mark, so that Notepad reads it right.
    void Write(std::span<const std::wstring_view> fields) override;

  private:
    // One write; a failure is remembered.
    void Append(std::string_view bytes) noexcept;

    UniqueHandle file_;
    DWORD error_ = 0;
};

} // namespace tamrick
