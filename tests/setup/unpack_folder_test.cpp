// The setup's unpack folder under Wine: who counts as an administrator, the access list it is
// created with, what Wine keeps of that list, and a held folder that nobody can move.
//
// Wine runs every process of the prefix's user elevated, whatever its manifest asks, and keeps
// of an access list only what maps to Unix permissions: it enforces none of it. So the list is
// checked as the setup builds it and hands it to CreateDirectoryW, and on disk as far as Wine
// shows it. A process without elevation is played by a token in which Administrators only
// denies, as Windows gives an administrator's unelevated processes.

#include "base/executable_path.h"
#include "setup/unpack_folder_win32.h"
#include "tests/support/standin_control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tamrick;
using namespace tamrick::setup;

namespace {

constexpr const wchar_t* kSystem = L"S-1-5-18";
constexpr const wchar_t* kAdministrators = L"S-1-5-32-544";
constexpr const wchar_t* kEveryone = L"S-1-1-0";
constexpr const wchar_t* kUsers = L"S-1-5-32-545";
constexpr ACCESS_MASK kFullControl = FILE_ALL_ACCESS;
constexpr ACCESS_MASK kReadAndRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr BYTE kInherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

std::wstring Folder(const wchar_t* name) {
    const fs::path folder = fs::temp_directory_path() / "tamrick-unpack-folder" / name;
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    return folder.wstring();
}

// What may change a folder's contents: anything beyond reading and running.
constexpr ACCESS_MASK kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                 FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                 WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

} // namespace

TEST(UnpackFolder, AnAdministratorIsOneOnlyWhileTheGroupIsEnabled) {
    EXPECT_TRUE(RunsAsAdministrator()) << "Wine runs the prefix's user elevated";
    EXPECT_EQ(test::RunWithoutElevation(L"\"" + ExecutablePath() + L"\" --administrator",
                                        driver::OwnFolder()),
              std::optional<DWORD>(0))
        << "a token where Administrators only denies is no administrator's";
}

TEST(UnpackFolder, AnAdministratorsSecurityLetsOnlySystemAndAdministratorsWrite) {
    const ProtectedFolderSecurity security;
    ASSERT_NE(security.get(), nullptr) << security.error();
    const AccessList list = ReadAccessList(security.get());
    ASSERT_EQ(list.error, 0u);
    EXPECT_EQ(list.owner, kAdministrators) << "the user, as owner, could change the list";
    EXPECT_TRUE(list.isProtected) << "entries of the parent (the user's full control) would count";
    ASSERT_TRUE(list.hasList);
    const std::wstring user = CurrentUserSid();
    ASSERT_FALSE(user.empty());
    ASSERT_EQ(list.entries.size(), 3u);
    const std::vector<std::pair<std::wstring, ACCESS_MASK>> expected = {
        {kSystem, kFullControl}, {kAdministrators, kFullControl}, {user, kReadAndRun}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const AccessEntry& entry = list.entries[i];
        EXPECT_EQ(entry.type, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(entry.trustee, expected[i].first) << i;
        EXPECT_EQ(entry.mask, expected[i].second) << i;
        EXPECT_EQ(entry.flags, kInherited) << i << ": files and folders inside inherit it";
    }
    EXPECT_EQ(list.entries[2].mask & kWriting, 0u) << "the user may not write";
}

TEST(UnpackFolder, TheSecurityReachesTheFolderAsItIsCreatedAsFarAsWineKeepsIt) {
    const std::wstring plain = Folder(L"plain");
    const std::wstring guarded = Folder(L"guarded");
    const ProtectedFolderSecurity security;
    ASSERT_EQ(CreateFolder(plain, nullptr), 0u);
    ASSERT_EQ(CreateFolder(guarded, security.get()), 0u);
    EXPECT_EQ(CreateFolder(guarded, security.get()), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    // Wine makes a plain folder readable by everyone; the guarded one lost every entry but
    // those of its list that Unix permissions can hold.
    const AccessList plainList = ReadAccessList(plain);
    ASSERT_EQ(plainList.error, 0u);
    EXPECT_TRUE(std::ranges::any_of(plainList.entries, [](const AccessEntry& entry) {
        return entry.trustee == kEveryone;
    })) << "Wine's plain folder is no longer what this test expects";

    const AccessList guardedList = ReadAccessList(guarded);
    ASSERT_EQ(guardedList.error, 0u);
    ASSERT_TRUE(guardedList.hasList);
    for (const AccessEntry& entry : guardedList.entries) {
        EXPECT_NE(entry.trustee, kEveryone) << "everyone may " << std::hex << entry.mask;
        EXPECT_NE(entry.trustee, kUsers) << "all users may " << std::hex << entry.mask;
    }
    // The setup, an administrator, still fills and removes it.
    const std::wstring file = guarded + L"\\TamrickInstaller.exe";
    const HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(created);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileW(file.c_str())) << GetLastError();
    EXPECT_TRUE(RemoveDirectoryW(guarded.c_str())) << GetLastError();
}

TEST(UnpackFolder, AHeldFolderCantBeMovedOrRemovedButItsFilesCanChange) {
    const FolderHold missing(Folder(L"never made"));
    EXPECT_FALSE(missing.IsHeld());
    EXPECT_EQ(missing.error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    const std::wstring folder = Folder(L"held");
    const std::wstring moved = Folder(L"moved");
    ASSERT_EQ(CreateFolder(folder, nullptr), 0u);
    FolderHold hold(folder);
    ASSERT_TRUE(hold.IsHeld()) << hold.error();

    // Another process of the user would rename it and put a folder of its own in its place.
    EXPECT_FALSE(MoveFileW(folder.c_str(), moved.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(RemoveDirectoryW(folder.c_str()));

    const std::wstring file = folder + L"\\InstInfo.ini";
    const HANDLE created =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(created);
    EXPECT_TRUE(DeleteFileW(file.c_str())) << GetLastError();

    hold.Release();
    EXPECT_FALSE(hold.IsHeld());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "released, it goes: " << GetLastError();
}

int wmain(int argc, wchar_t** argv) {
    // The side of a test that runs without elevation: its answer is its exit code.
    if (argc == 2 && std::wstring(argv[1]) == L"--administrator") {
        return RunsAsAdministrator() ? 1 : 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
