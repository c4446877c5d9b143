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

} // namespace

std::wstring SidText(PSID sid) noexcept {
    UniqueLocal<LPWSTR> text;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, text.put())) {
        return {};
    }
    return text.get();
}

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

} // namespace tamrick
