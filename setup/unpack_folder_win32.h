#pragma once
// The folder the setup unpacks into. When the setup runs as an administrator, the installer that
// it starts from that folder runs elevated: then the folder gets, as it is created, an access list
// that no process of the user without elevation can write to. Free of exceptions, as the whole
// setup program is.

#include "base/handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrick::setup {

// Whether this process acts as an administrator now: the Administrators group is in its token
// and enabled. That is an elevated administrator on Windows Vista and later and any
// administrator on Windows XP (which has no elevation); never a standard user, nor an
// administrator's process without elevation, where the group is there only to deny.
bool RunsAsAdministrator() noexcept;

// The unpack folder's security for an administrator's setup: owned by Administrators; SYSTEM and
// Administrators have full control, the current user may read and run; every file and folder
// made inside inherits that; nothing is inherited from the parent.
class UnpackFolderSecurity {
  public:
    // Empty (get() is nullptr, error() says why) when the user or the descriptor can't be had.
    UnpackFolderSecurity() noexcept;

    PSECURITY_DESCRIPTOR get() const noexcept { return descriptor_.get(); }
    DWORD error() const noexcept { return error_; }

  private:
    UniqueLocal<PSECURITY_DESCRIPTOR> descriptor_;
    DWORD error_ = 0;
};

// Creates a folder, with that security when `security` is not null, set as it is created; 0 or
// the Win32 error.
DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR security) noexcept;

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

// An access list as read back, with every SID as its string ("S-1-5-18").
struct AccessEntry {
    std::wstring trustee;
    ACCESS_MASK mask = 0;
    BYTE type = 0;  // ACCESS_ALLOWED_ACE_TYPE, ...
    BYTE flags = 0; // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE, INHERITED_ACE, ...
};
struct AccessList {
    DWORD error = 0; // 0 when it was read
    std::wstring owner;
    bool isProtected = false; // inherits nothing from its parent
    bool hasList = false;     // false: no access list at all, which lets everyone in
    std::vector<AccessEntry> entries;
};

AccessList ReadAccessList(PSECURITY_DESCRIPTOR security) noexcept;
// What the system reports for a file or folder.
AccessList ReadAccessList(const std::wstring& path) noexcept;

// The SID of the user this process runs as, as a string; empty when the token can't be read.
std::wstring CurrentUserSid() noexcept;

} // namespace tamrick::setup
