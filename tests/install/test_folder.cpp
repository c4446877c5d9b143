#include "test_folder.h"

#include "driver/driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

namespace fs = std::filesystem;

std::wstring FreshTestFolder() {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::wstring folder =
        (tamrick::driver::OwnFolder() / L"work" / std::wstring(name.begin(), name.end())).wstring();
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
