// Reading an access list back, which only the tests need: a file of its own, since the linker
// keeps every function of a file that a program uses at all.

#include "folder_security_win32.h"

#include <aclapi.h>

namespace tamrick {
AccessList ReadAccessList(PSECURITY_DESCRIPTOR security) noexcept {
    AccessList list;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    BOOL daclDefaulted = FALSE;
    if (!GetSecurityDescriptorControl(security, &control, &revision) ||
        !GetSecurityDescriptorOwner(security, &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(security, &present, &dacl, &daclDefaulted)) {
        list.error = GetLastError();
        return list;
    }
    list.owner = SidText(owner);
    list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    list.hasList = present && dacl != nullptr;
    for (DWORD i = 0; list.hasList && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry;
        entry.type = header->AceType;
        entry.flags = header->AceFlags;
        // Allowed and denied entries share this layout: header, mask, SID.
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
            entry.mask = allowed->Mask;
            entry.trustee = SidText(&allowed->SidStart);
        }
        list.entries.push_back(entry);
    }
    return list;
}

AccessList ReadAccessList(const std::wstring& path) noexcept {
    UniqueLocal<PSECURITY_DESCRIPTOR> security;
    const DWORD error = GetNamedSecurityInfoW(
        path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
        nullptr, nullptr, nullptr, nullptr, security.put());
    if (error != ERROR_SUCCESS) {
        AccessList list;
        list.error = error;
        return list;
    }
    return ReadAccessList(security.get());
}

} // namespace tamrick
