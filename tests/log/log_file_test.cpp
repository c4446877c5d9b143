// The log file under Wine: what a reader finds in it, written by one program or by two at once,
// and a log that can't be opened.

#include "log/log_file_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;
using tamrick::LogFile;

namespace {

constexpr const char* kBom = "\xEF\xBB\xBF";

// A fresh folder for the running test.
fs::path Folder() {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::temp_directory_path() / "tamrick-log-test" / test->name();
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(LogFile& log, std::vector<std::wstring_view> fields) {
    log.Write(fields);
}

// "YYYY-MM-DD hh:mm:ss.mmm" and a tab: every 0 stands for a digit.
constexpr std::string_view kStamp = "0000-00-00 00:00:00.000\t";

bool HasTimeStamp(const std::string& line) {
    if (line.size() < kStamp.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kStamp.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (kStamp[i] == '0' ? !digit : line[i] != kStamp[i]) {
            return false;
        }
    }
    return true;
}

// The lines of a log without its mark, each checked for its time stamp, which is cut off.
std::vector<std::string> Records(std::string bytes) {
    if (bytes.rfind(kBom, 0) == 0) {
        bytes.erase(0, 3);
    }
    std::vector<std::string> records;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", at);
        const std::string line = bytes.substr(at, end - at);
        if (HasTimeStamp(line)) {
            records.push_back(line.substr(kStamp.size()));
        } else {
            records.push_back("(no time stamp) " + line);
        }
        if (end == std::string::npos) {
            records.push_back("(no line end)");
            break;
        }
        at = end + 2;
    }
    return records;
}

constexpr int kAppendedLines = 4000;

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// The other side of the test with two programs. Opening the log for each line makes the two meet
// often: without the lock, Wine loses a few dozen of their 8,000 lines.
int Append(const std::wstring& path, const std::wstring& who) {
    const std::wstring padding(150, L'x');
    for (int i = 0; i < kAppendedLines; ++i) {
        LogFile log(path);
        const std::wstring number = std::to_wstring(i);
        log.Write(std::vector<std::wstring_view>{who, number, padding});
    }
    return 0;
}

} // namespace

TEST(LogFile, ANewLogStartsWithAByteOrderMarkAndHoldsOneUtf8LinePerRecord) {
    const fs::path path = Folder() / "安装 日志.log";
    {
        LogFile log(path.wstring());
        ASSERT_TRUE(log.IsOpen()) << log.error();
        Write(log, {L"installer", L"start", L"1.0.0.30"});
        Write(log, {L"installer", L"message", L"error", L"缺少文件。\r\n请联系作者。"});
        EXPECT_EQ(log.error(), 0u);
    }
    const std::string bytes = Bytes(path);
    EXPECT_EQ(bytes.rfind(kBom, 0), 0u) << "no byte-order mark";
    EXPECT_EQ(bytes.find(kBom, 3), std::string::npos) << "a second mark";
    const std::vector<std::string> expected = {
        "installer\tstart\t1.0.0.30",
        "installer\tmessage\terror\t缺少文件。\\x0D\\x0A请联系作者。",
    };
    EXPECT_EQ(Records(bytes), expected);
}

TEST(LogFile, AppendsToWhatIsThereWithoutASecondMark) {
    const fs::path path = Folder() / "deploy.log";
    std::ofstream(path, std::ios::binary) << "written by the deployment script\r\n";
    {
        LogFile setup(path.wstring());
        Write(setup, {L"setup", L"start"});
    }
    {
        LogFile installer(path.wstring());
        Write(installer, {L"installer", L"end", L"0", L"安装成功"});
    }
    const std::string bytes = Bytes(path);
    EXPECT_EQ(bytes.find(kBom), std::string::npos);
    EXPECT_EQ(bytes.rfind("written by the deployment script\r\n", 0), 0u);
    const std::vector<std::string> records = Records(bytes);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1], "setup\tstart");
    EXPECT_EQ(records[2], "installer\tend\t0\t安装成功");
}

TEST(LogFile, CanBeReadAndAppendedToByOthersWhileItIsOpen) {
    const fs::path path = Folder() / "shared.log";
    LogFile setup(path.wstring());
    Write(setup, {L"setup", L"run"});
    // The installer that the setup starts opens the same log while the setup holds it.
    LogFile installer(path.wstring());
    ASSERT_TRUE(installer.IsOpen()) << installer.error();
    Write(installer, {L"installer", L"start"});
    // A person reads it meanwhile, as Notepad opens a file.
    const HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(reader);
    Write(setup, {L"setup", L"end", L"0"});
    const std::vector<std::string> expected = {"setup\trun", "installer\tstart", "setup\tend\t0"};
    EXPECT_EQ(Records(Bytes(path)), expected);
}

TEST(LogFile, TwoProgramsAppendingAtOnceLoseNoLineAndMixNone) {
    const fs::path path = Folder() / "busy.log";
    std::vector<PROCESS_INFORMATION> writers;
    for (const wchar_t* who : {L"a", L"b"}) {
        std::wstring command =
            L"\"" + ProgramPath() + L"\" --append \"" + path.wstring() + L"\" " + who;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process))
            << GetLastError();
        CloseHandle(process.hThread);
        writers.push_back(process);
    }
    for (const PROCESS_INFORMATION& process : writers) {
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        CloseHandle(process.hProcess);
    }
    const std::vector<std::string> records = Records(Bytes(path));
    EXPECT_EQ(records.size(), 2u * kAppendedLines);
    int next[2] = {0, 0};
    for (const std::string& record : records) {
        const std::size_t who = record.rfind("a\t", 0) == 0 ? 0 : 1;
        ASSERT_EQ(record, std::string(who == 0 ? "a" : "b") + "\t" + std::to_string(next[who]) +
                              "\t" + std::string(150, 'x'));
        ++next[who];
    }
}

TEST(LogFile, APathThatCantBeOpenedSaysWhyAndWritesNothing) {
    const fs::path folder = Folder();
    LogFile missingFolder((folder / "no such folder" / "a.log").wstring());
    EXPECT_FALSE(missingFolder.IsOpen());
    EXPECT_EQ(missingFolder.error(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    Write(missingFolder, {L"installer", L"start"});
    EXPECT_FALSE(fs::exists(folder / "no such folder"));

    LogFile aFolder(folder.wstring());
    EXPECT_FALSE(aFolder.IsOpen());
    EXPECT_EQ(aFolder.error(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    Write(aFolder, {L"installer", L"start"});
    EXPECT_TRUE(fs::is_empty(folder));
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--append") {
        return Append(argv[2], argv[3]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
