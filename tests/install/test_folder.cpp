#include "test_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

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

void WriteTextFile(const std::wstring& path, const std::string& content) {
    std::ofstream out(fs::path(path), std::ios::binary);
    ASSERT_TRUE(out << content) << "can't write the test file";
}

std::string ReadTextFile(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}
