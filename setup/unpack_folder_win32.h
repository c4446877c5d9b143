#pragma once
// The folder the setup unpacks into. When the setup runs as an administrator, the installer that
// it starts from that folder runs elevated: then the folder gets, as it is created, an access list
// that no process of the user without elevation can write to. Free of exceptions, as the whole
// setup program is.

#include "base/folder_security_win32.h"
#include "base/handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrick::setup {

// Holds a folder open so that nobody else can rename or remove it (files inside can still be
// made and removed): the folder the installer is started from stays the one that was unpacked.
// Released before the folder is removed.
class FolderHold {
  public:
    explicit FolderHold(const std::wstring& folder) noexcept;

    bool IsHeld() const noexcept { return static_cast<bool>(handle_); }
    DWORD error() const noexcept { return error_; }
    void Release() noexcept { handle_.reset(); }

  private:
    UniqueHandle handle_;
    DWORD error_ = 0;
};

} // namespace tamrick::setup
