#pragma once
// Who this process acts as, and folders that only administrators can change: the setup's unpack
// folder and an add-on's record. Free of exceptions, as the whole setup program is.

#include "base/handles.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrick {
// Whether this process acts as an administrator now: the Administrators group is in its token
// and enabled. That is an elevated administrator on Windows Vista and later and any
// administrator on Windows XP (which has no elevation); never a standard user, nor an
// administrator's process without elevation, where the group is there only to deny.
bool RunsAsAdministrator() noexcept;

// A protected folder's security, for what an administrator's program makes: owned by
// Administrators; SYSTEM and Administrators have full control, the current user may read and run;
// every file and folder made inside inherits that; nothing is inherited from the parent.
class ProtectedFolderSecurity {
  public:
    // Empty (get() is nullptr, error() says why) when the user or the descriptor can't be had.
    ProtectedFolderSecurity() noexcept;

    PSECURITY_DESCRIPTOR get() const noexcept { return descriptor_.get(); }
    DWORD error() const noexcept { return error_; }

  private:
    UniqueLocal<PSECURITY_DESCRIPTOR> descriptor_;
    DWORD error_ = 0;
};

// Creates a folder, with that security when `security` is not null, set as it is created; 0 or
// the Win32 error.
DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR security) noexcept;

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

// A SID as its string ("S-1-5-18"); empty when it can't be converted.
std::wstring SidText(PSID sid) noexcept;

// The SID of the user this process runs as, as a string; empty when the token can't be read.
std::wstring CurrentUserSid() noexcept;

} // namespace tamrick
