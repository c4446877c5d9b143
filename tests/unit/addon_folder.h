#pragma once
// A throw-away folder for a test, named by the test and its `role`: an add-on folder by default,
// a description and the files beside it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class AddOnFolder {
  public:
    explicit AddOnFolder(const std::string& role = "instinfo")
        : path_(std::filesystem::temp_directory_path() /
                ("tamrick-" + role + "-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_suite()->name()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~AddOnFolder() { std::filesystem::remove_all(path_); }
    AddOnFolder(const AddOnFolder&) = delete;
    AddOnFolder& operator=(const AddOnFolder&) = delete;

    // `name` may hold "/" for a subfolder; `bytes` are written as they are.
    void File(const std::string& name, const std::string& bytes = "x") const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    void Description(const std::string& bytes) const { File("InstInfo.ini", bytes); }

    // The folder as the tool takes it: ending in a separator.
    std::wstring Prefix() const { return path_.wstring() + L"/"; }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
