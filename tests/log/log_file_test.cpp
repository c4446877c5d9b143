// The log file under Wine: what a reader finds in it, written by one program or by two at once,
// and a log that can't be opened.

#include "log/log_file_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
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

// The lines of a log without its mark, each with its time stamp, "YYYY-MM-DD hh:mm:ss.mmm" and a
// tab, cut off.
std::vector<std::string> Records(std::string bytes) {
    if (bytes.rfind(kBom, 0) == 0) {
        bytes.erase(0, 3);
    }
    static const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\t(.*))");
    std::vector<std::string> records;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", at);
        const std::string line = bytes.substr(at, end - at);
        std::smatch match;
        records.push_back(std::regex_match(line, match, stamped) ? match.str(1)
                                                                 : "(no time stamp) " + line);
        if (end == std::string::npos) {
            records.push_back("(no line end)");
            break;
        }
        at = end + 2;
    }
    return records;
}

constexpr int kAppendedLines = 4000;

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
    const std::vector<std::string> expected = {
        "installer\tstart\t1.0.0.30",
        "installer\tmessage\terror\t缺少文件。\\x0D\\x0A请联系作者。",
    };
    EXPECT_EQ(Records(bytes), expected);
}

TEST(LogFile, AppendsToWhatIsThereAndCanBeReadAndAppendedToByOthersWhileItIsOpen) {
    const fs::path path = Folder() / "shared.log";
    std::ofstream(path, std::ios::binary) << "written by the deployment script\r\n";
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
    Write(setup, {L"setup", L"end", L"0", L"安装成功"});
    const std::string bytes = Bytes(path);
    EXPECT_EQ(bytes.find(kBom), std::string::npos) << "a mark after the start";
    const std::vector<std::string> expected = {"(no time stamp) written by the deployment script",
                                               "setup\trun", "installer\tstart",
                                               "setup\tend\t0\t安装成功"};
    EXPECT_EQ(Records(bytes), expected);
}

TEST(LogFile, TwoProgramsAppendingAtOnceLoseNoLineAndMixNone) {
    const fs::path path = Folder() / "busy.log";
    std::vector<PROCESS_INFORMATION> writers;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (const wchar_t* who : {L"a", L"b"}) {
        std::wstring command =
            L"\"" + std::wstring(self) + L"\" --append \"" + path.wstring() + L"\" " + who;
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
    for (const auto& [path, code] :
         {std::pair{folder / "no such folder" / "a.log", ERROR_PATH_NOT_FOUND},
          std::pair{folder, ERROR_ACCESS_DENIED}}) {
        LogFile log(path.wstring());
        EXPECT_FALSE(log.IsOpen());
        EXPECT_EQ(log.error(), static_cast<DWORD>(code));
        Write(log, {L"installer", L"start"});
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--append") {
        return Append(argv[2], argv[3]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
