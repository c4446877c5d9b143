#include "folder_security_win32.h"

#include <aclapi.h>
#include <sddl.h>

namespace tamrick {
namespace {

// Full control (FILE_ALL_ACCESS) for SYSTEM and Administrators, FILE_GENERIC_READ |
// FILE_GENERIC_EXECUTE for the user, whose SID ends the text. Each entry holds for the folder
// and, inherited, for every file and folder inside it.
constexpr const wchar_t* kOwnerAndAdministrators =
    L"O:BAD:P(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1f01ff;;;BA)(A;OICI;0x1200a9;;;";

std::wstring SidText(PSID sid) {
    UniqueLocal<LPWSTR> text;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, text.put())) {
        return {};
    }
    return text.get();
}

} // namespace

bool RunsAsAdministrator() noexcept {
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           CheckTokenMembership(nullptr, administrators, &member) && member;
}

std::wstring CurrentUserSid() noexcept {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return {};
    }
    // TOKEN_USER and the SID it points to, which follows it.
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) {
        return {};
    }
    return SidText(reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid);
}

ProtectedFolderSecurity::ProtectedFolderSecurity() noexcept {
    const std::wstring user = CurrentUserSid();
    if (user.empty()) {
        error_ = GetLastError() != 0 ? GetLastError() : ERROR_NO_SUCH_USER;
        return;
    }
    const std::wstring text = kOwnerAndAdministrators + user + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                              descriptor_.put(), nullptr)) {
        error_ = GetLastError();
    }
}

DWORD CreateFolder(const std::wstring& path, PSECURITY_DESCRIPTOR security) noexcept {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
    return CreateDirectoryW(path.c_str(), security != nullptr ? &attributes : nullptr)
               ? 0
               : GetLastError();
}

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
