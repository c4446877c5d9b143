#include "test_folder.h"

#include "base/handles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>

namespace fs = std::filesystem;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring FreshTestFolder() {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::wstring folder =
        ProgramFolder() + L"work\\" + std::wstring(name.begin(), name.end());
    std::error_code ignored;
    if (fs::exists(folder)) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder, ignored);
    }
    fs::create_directories(folder);
    return folder + L"\\";
}

namespace {

using File = tamrick::UniqueHandle;

File Open(const std::wstring& path, DWORD access, DWORD disposition) {
    return File(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

void WriteTextFile(const std::wstring& path, const std::string& content) {
    const File file = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    DWORD written = 0;
    ASSERT_TRUE(file &&
                WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                          nullptr) &&
                written == content.size())
        << "can't write the test file";
}

std::string ReadTextFile(const std::wstring& path) {
    const File file = Open(path, GENERIC_READ, OPEN_EXISTING);
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    return content;
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}
