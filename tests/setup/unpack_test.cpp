// The payload on Windows' side: written with FCI as `instinfo pack` writes it, read with FDI as
// the setup program reads it, both from the system's cabinet.dll; damaged payloads and unsafe
// names are refused before anything is written.

#include "base/text_encoding.h"
#include "driver/driver.h"
#include "setup/payload.h"
#include "setup/unpack.h"
#include "tests/support/standin_control.h"
#include "tools/instinfo/cabinet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tamrick;
using setup::Outcome;

namespace {

fs::path gStub; // the built setup program, from the command line

using driver::WriteFileBytes;
using test::ReadFile;

// Every file under a folder, "name=content", sorted.
std::vector<std::wstring> Tree(const fs::path& folder) {
    std::vector<std::wstring> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) {
            files.push_back(fs::relative(e.path(), folder).wstring() + L"=" +
                            tamrick::FromUtf8(ReadFile(e.path())));
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class Unpack : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                (std::string("tamrick-unpack-") +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "in");
        fs::create_directories(root_ / "out");
    }
    void TearDown() override { fs::remove_all(root_); }

    void Source(const std::wstring& name, const std::string& content) {
        WriteFileBytes(root_ / "in" / name, content);
    }

    // A setup file: the program, the header and a cabinet of the entries (name -> source).
    fs::path Setup(const std::vector<CabinetEntry>& entries) {
        const fs::path cabinet = root_ / "payload.cab";
        WriteCabinet(entries, cabinet.wstring());
        const std::string cab = ReadFile(cabinet);
        payload::Header header;
        header.payloadLength = cab.size();
        payload::Crc32 crc;
        crc.Update(cab.data(), cab.size());
        header.crc32 = crc.value();
        header.title = L"测试";
        const fs::path setup = root_ / "setup.exe";
        WriteFileBytes(setup, ReadFile(gStub) + payload::EncodeHeader(header) + cab);
        return setup;
    }

    CabinetEntry Entry(const std::wstring& name, const std::wstring& source) {
        return CabinetEntry{name, (root_ / "in" / source).wstring()};
    }

    setup::Result Run(const fs::path& setup) {
        const auto location = setup::FindPayload(setup.wstring());
        if (!location) {
            return setup::Result{Outcome::Damaged, 0, {}};
        }
        const setup::Result verified = setup::VerifyPayload(setup.wstring(), *location, {});
        if (verified.outcome != Outcome::Done) {
            return verified;
        }
        return setup::Unpack(setup.wstring(), *location, out(), {});
    }

    std::wstring out() const { return (root_ / "out").wstring() + L"\\"; }

    fs::path root_;
};

TEST_F(Unpack, ARoundTripKeepsNamesFoldersAndContentAndTheSameEntriesGiveTheSameCabinet) {
    Source(L"a.txt", "alpha");
    Source(L"中文 名.gms", "宏");
    Source(L"big.bin", std::string(3 * 1024 * 1024 + 17, 'z') + "end");
    Source(L"empty", "");
    const std::vector<CabinetEntry> entries{
        Entry(L"a.txt", L"a.txt"), Entry(L"子目录\\深 层\\中文 名.gms", L"中文 名.gms"),
        Entry(L"big.bin", L"big.bin"), Entry(L"sub\\empty", L"empty")};
    const fs::path setup = Setup(entries);
    const auto location = setup::FindPayload(setup.wstring());
    ASSERT_TRUE(location);
    EXPECT_EQ(location->header.title, L"测试");
    std::uint64_t lastDone = 0;
    std::uint64_t lastTotal = 0;
    const setup::Result result = setup::Unpack(setup.wstring(), *location, out(),
                                               [&](std::uint64_t done, std::uint64_t total) {
                                                   EXPECT_GE(done, lastDone);
                                                   lastDone = done;
                                                   lastTotal = total;
                                                   return true;
                                               });
    ASSERT_EQ(result.outcome, Outcome::Done) << result.error;
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_EQ(lastTotal, 5u + 3u + 3 * 1024 * 1024 + 20);
    EXPECT_EQ(ReadFile(root_ / "out" / "big.bin"), ReadFile(root_ / "in" / "big.bin"));
    fs::remove(root_ / "out" / "big.bin");
    EXPECT_EQ(Tree(root_ / "out"), (std::vector<std::wstring>{L"a.txt=alpha", L"sub\\empty=",
                                                              L"子目录\\深 层\\中文 名.gms=宏"}));

    // A later time stamp changes nothing.
    const std::string first = ReadFile(setup);
    fs::last_write_time(root_ / "in" / "a.txt",
                        fs::file_time_type::clock::now() + std::chrono::hours(1));
    EXPECT_EQ(ReadFile(Setup(entries)), first);
}

TEST_F(Unpack, ADamagedOrTruncatedPayloadIsRefusedBeforeAnythingIsWrittenButAnAppendedOneIsNot) {
    Source(L"a.txt", std::string(200000, 'a'));
    const fs::path setup = Setup({Entry(L"a.txt", L"a.txt")});
    const std::string whole = ReadFile(setup);
    const auto location = setup::FindPayload(setup.wstring());
    ASSERT_TRUE(location);
    // Inside the cabinet's compressed data.
    const auto payloadStart =
        static_cast<std::size_t>(location->offset + location->header.payloadLength / 2);

    std::string flipped = whole;
    flipped[payloadStart] = static_cast<char>(flipped[payloadStart] ^ 0x40);
    WriteFileBytes(setup, flipped);
    EXPECT_EQ(Run(setup).outcome, Outcome::Damaged);

    for (const std::size_t cut : {whole.size() - 1, whole.size() / 2, std::size_t{200}}) {
        WriteFileBytes(setup, whole.substr(0, cut));
        EXPECT_EQ(Run(setup).outcome, Outcome::Damaged) << "cut at " << cut;
    }
    // The program alone, as a setup without its payload.
    WriteFileBytes(setup, ReadFile(gStub));
    EXPECT_EQ(Run(setup).outcome, Outcome::Damaged);
    EXPECT_TRUE(fs::is_empty(root_ / "out"));

    // As a signature is appended: a certificate table after everything else.
    WriteFileBytes(setup, whole + std::string(4096, '\x30'));
    ASSERT_EQ(Run(setup).outcome, Outcome::Done);
    EXPECT_EQ(ReadFile(root_ / "out" / "a.txt"), std::string(200000, 'a'));
}

TEST_F(Unpack, AnEscapingNameRefusesThePayloadAndWritesNothing) {
    Source(L"x", "evil");
    Source(L"ok", "fine");
    for (const std::wstring name :
         {L"..\\evil.txt", L"a\\..\\..\\evil.txt", L"\\evil.txt", L"/evil.txt", L"C:\\evil.txt",
          L"C:evil.txt", L"\\\\server\\share\\evil.txt", L"CON", L"sub\\nul.txt", L"COM1.log",
          L"LPT9", L"aux", L"prn.gms", L"a.txt:stream", L"a\\\\b.txt", L".\\a.txt", L"a\\.. ",
          L"evil.txt.", L"a/../../evil.txt"}) {
        // The good entry comes first: still nothing of it may be written.
        const fs::path setup = Setup({Entry(L"ok.txt", L"ok"), Entry(name, L"x")});
        const setup::Result result = Run(setup);
        EXPECT_EQ(result.outcome, Outcome::UnsafeName) << tamrick::ToUtf8(name);
        EXPECT_TRUE(fs::is_empty(root_ / "out")) << tamrick::ToUtf8(name);
        EXPECT_FALSE(fs::exists(root_ / "evil.txt"));
        EXPECT_FALSE(fs::exists(fs::path("C:\\evil.txt")));
    }
}

TEST_F(Unpack, AFileThatCantBeWrittenIsAFailureWithTheSystemsError) {
    Source(L"a.txt", "alpha");
    const fs::path setup = Setup({Entry(L"a.txt", L"a.txt"), Entry(L"a.txt\\b.txt", L"a.txt")});
    const setup::Result result = Run(setup);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_NE(result.error, 0u);
    EXPECT_EQ(result.name, L"a.txt\\b.txt");
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: unpack_test TamrickSetup.exe\n");
        return 2;
    }
    gStub = tamrick::driver::FromUnixPath(argv[1]);
    return RUN_ALL_TESTS();
}
