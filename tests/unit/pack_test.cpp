// The payload's portable rules and `instinfo pack` on Linux: the header, the checksum, where a
// setup program's sections end, which entry names are safe, and the packer's refusals, its
// output and its same bytes for the same folder (read back with libgcab).

#include "addon_folder.h"
#include "setup/payload.h"
#include "tools/instinfo/pack.h"

#include <gtest/gtest.h>
#include <libgcab.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tamrick;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A PE program's headers with sections ending at `end` (the last one's raw data).
std::string FakeProgram(std::uint32_t end) {
    std::string bytes(end, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put(bytes, 0x3C, 0x80, 4);
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    Put(bytes, 0x80 + 6, 2, 2);     // two sections
    Put(bytes, 0x80 + 20, 0xE0, 2); // optional header
    const std::size_t table = 0x80 + 24 + 0xE0;
    Put(bytes, table + 16, 0x200, 4); // first: 0x200 bytes at 0x400
    Put(bytes, table + 20, 0x400, 4);
    Put(bytes, table + 40 + 16, end - 0x600, 4); // second: up to the end
    Put(bytes, table + 40 + 20, 0x600, 4);
    return bytes;
}

TEST(Payload, TheHeaderRoundTripsAndRejectsWhatIsNotOne) {
    payload::Header header;
    header.payloadLength = 0x123456789ull;
    header.crc32 = 0xCBF43926u;
    header.title = L"Tamrick 工具箱 演示版";
    const std::string bytes = payload::EncodeHeader(header) + "cabinet follows";
    const auto decoded = payload::DecodeHeader(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->header.payloadLength, header.payloadLength);
    EXPECT_EQ(decoded->header.crc32, header.crc32);
    EXPECT_EQ(decoded->header.title, header.title);
    EXPECT_EQ(bytes.substr(decoded->size), "cabinet follows");

    EXPECT_FALSE(payload::DecodeHeader(bytes.substr(0, decoded->size - 1))) << "cut short";
    std::string other = bytes;
    other[0] = 'X';
    EXPECT_FALSE(payload::DecodeHeader(other)) << "another magic";
    other = bytes;
    other[8] = 2;
    EXPECT_FALSE(payload::DecodeHeader(other)) << "another version";
    EXPECT_FALSE(payload::DecodeHeader(""));
}

TEST(Payload, Crc32IsTheStandardOneInAnyPieces) {
    payload::Crc32 whole;
    whole.Update("123456789", 9);
    EXPECT_EQ(whole.value(), 0xCBF43926u);
    payload::Crc32 pieces;
    pieces.Update("1234", 4);
    pieces.Update("", 0);
    pieces.Update("56789", 5);
    EXPECT_EQ(pieces.value(), whole.value());
}

TEST(Payload, TheSectionsEndWhereTheLastRawDataEnds) {
    EXPECT_EQ(payload::EndOfSections(FakeProgram(0x2000)), std::optional<std::uint64_t>(0x2000));
    std::string notPe = FakeProgram(0x2000);
    notPe[0x81] = 'X';
    EXPECT_FALSE(payload::EndOfSections(notPe));
    EXPECT_FALSE(payload::EndOfSections("MZ"));
    EXPECT_FALSE(payload::EndOfSections(FakeProgram(0x2000).substr(0, 0x180)))
        << "the section table is cut off";
}

TEST(Payload, OnlyNamesThatStayInsideTheFolderAreSafe) {
    for (const wchar_t* safe :
         {L"a.txt", L"InstInfo.ini", L"子目录\\深 层\\说明 文件.txt", L"sub/a.gms", L"..a", L"a..b",
          L"con2.txt", L"COM10", L"nul_", L".hidden", L"a b"}) {
        EXPECT_TRUE(payload::IsSafeEntryName(safe)) << fs::path(safe).string();
    }
    for (const wchar_t* unsafe : {L"",
                                  L"..",
                                  L".",
                                  L"..\\a",
                                  L"a\\..\\..\\b",
                                  L"a/../b",
                                  L"\\a",
                                  L"/a",
                                  L"\\\\server\\s\\a",
                                  L"C:\\a",
                                  L"C:a",
                                  L"a:b",
                                  L"a.txt::$DATA",
                                  L"a\\\\b",
                                  L"a\\",
                                  L"CON",
                                  L"con.txt",
                                  L"sub\\NUL",
                                  L"Aux.gms",
                                  L"prn",
                                  L"COM1",
                                  L"lpt9.log",
                                  L"COM\u00B9",
                                  L"CONIN$",
                                  L"con .txt",
                                  L"a.",
                                  L"a ",
                                  L"a\\.. ",
                                  L"a<b",
                                  L"a|b",
                                  L"a?",
                                  L"a*",
                                  L"a\"b",
                                  L"a\tb"}) {
        EXPECT_FALSE(payload::IsSafeEntryName(unsafe)) << fs::path(unsafe).string();
    }
}

// `instinfo pack` with a made-up distribution: a program whose sections end where it ends, and
// an installer.
class Pack : public testing::Test {
  protected:
    void SetUp() override {
        dist_ = fs::temp_directory_path() / ("tamrick-dist-" + std::to_string(::getpid()));
        fs::create_directories(dist_);
        std::ofstream(dist_ / "TamrickSetup.exe", std::ios::binary) << FakeProgram(0x1000);
        std::ofstream(dist_ / "TamrickInstaller.exe", std::ios::binary) << "installer";
        output_ = folder_.path().parent_path() /
                  ("tamrick-pack-" + std::to_string(::getpid()) + "-setup.exe");
    }
    void TearDown() override {
        fs::remove_all(dist_);
        fs::remove(output_);
    }

    int Run(bool force = false) {
        PackOptions options;
        options.folder = folder_.Prefix();
        options.output = output_.wstring();
        options.force = force;
        options.distribution = {dist_.wstring()};
        out_.clear();
        err_.clear();
        return tamrick::Pack(
            options, [&](const std::string& text) { out_ += text; },
            [&](const std::string& text) { err_ += text; });
    }

    // The files in the written setup's cabinet, name -> content, read with libgcab.
    std::map<std::string, std::string> Unpacked() const {
        const std::string setup = ReadAll(output_);
        const auto decoded = payload::DecodeHeader(std::string_view(setup).substr(0x1000));
        EXPECT_TRUE(decoded);
        if (!decoded) {
            return {};
        }
        const std::string cab = setup.substr(0x1000 + decoded->size);
        EXPECT_EQ(cab.size(), decoded->header.payloadLength);
        payload::Crc32 crc;
        crc.Update(cab.data(), cab.size());
        EXPECT_EQ(crc.value(), decoded->header.crc32);

        GBytes* bytes = g_bytes_new(cab.data(), cab.size());
        GInputStream* in = g_memory_input_stream_new_from_bytes(bytes);
        GCabCabinet* cabinet = gcab_cabinet_new();
        GError* error = nullptr;
        std::map<std::string, std::string> files;
        const fs::path out =
            fs::temp_directory_path() / ("tamrick-unpacked-" + std::to_string(::getpid()));
        fs::remove_all(out);
        fs::create_directories(out);
        GFile* target = g_file_new_for_path(out.c_str());
        if (gcab_cabinet_load(cabinet, in, nullptr, &error) &&
            gcab_cabinet_extract(cabinet, target, nullptr, nullptr, nullptr, nullptr, &error)) {
            for (const auto& e : fs::recursive_directory_iterator(out)) {
                if (e.is_regular_file()) {
                    const std::u8string name = fs::relative(e.path(), out).u8string();
                    files[std::string(name.begin(), name.end())] = ReadAll(e.path());
                }
            }
        } else {
            ADD_FAILURE() << (error != nullptr ? error->message : "gcab failed");
            g_clear_error(&error);
        }
        fs::remove_all(out);
        g_object_unref(target);
        g_object_unref(cabinet);
        g_object_unref(in);
        g_bytes_unref(bytes);
        return files;
    }

    AddOnFolder folder_;
    fs::path dist_;
    fs::path output_;
    std::string out_;
    std::string err_;
};

TEST_F(Pack, EveryFileGoesInWithItsPathAndTheSetupProgramComesFirst) {
    folder_.Description("SetupTitle=小插件\nFileItem=c|a.gms|1|GMSPath|\n");
    folder_.File("a.gms", "macros");
    folder_.File("子目录/深 层/说明 文件.txt", "中文");
    ASSERT_EQ(Run(), 0) << err_;
    EXPECT_EQ(ReadAll(output_).substr(0, 0x1000), FakeProgram(0x1000));
    const auto decoded = payload::DecodeHeader(std::string_view(ReadAll(output_)).substr(0x1000));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->header.title, L"小插件");
    const std::map<std::string, std::string> expected{
        {"InstInfo.ini", "SetupTitle=小插件\nFileItem=c|a.gms|1|GMSPath|\n"},
        {"a.gms", "macros"},
        {"TamrickInstaller.exe", "installer"},
        {"子目录/深 层/说明 文件.txt", "中文"}};
    EXPECT_EQ(Unpacked(), expected);
    EXPECT_NE(out_.find("子目录\\深 层\\说明 文件.txt  6 bytes"), std::string::npos) << out_;
    EXPECT_NE(out_.find("note: the folder has no TamrickInstaller.exe"), std::string::npos) << out_;
    EXPECT_NE(out_.find("setup: "), std::string::npos) << out_;
}

TEST_F(Pack, TheSameFolderPacksToTheSameBytes) {
    folder_.Description("FileItem=c|a.gms|1|GMSPath|\n");
    folder_.File("a.gms", std::string(300000, 'a'));
    folder_.File("b/c.txt", "c");
    folder_.File("TamrickInstaller.exe", "the folder's own installer");
    ASSERT_EQ(Run(), 0) << err_;
    const std::string first = ReadAll(output_);
    fs::last_write_time(folder_.path() / "a.gms",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    fs::permissions(folder_.path() / "b/c.txt", fs::perms::owner_read);
    ASSERT_EQ(Run(), 0) << err_;
    EXPECT_EQ(ReadAll(output_), first);
    EXPECT_EQ(Unpacked()["TamrickInstaller.exe"], "the folder's own installer");
    EXPECT_EQ(out_.find("note: the folder has no"), std::string::npos);
}

TEST_F(Pack, AnErrorInTheCheckRefusesUnlessForced) {
    folder_.Description("FileItem=c|missing.gms|1|GMSPath|\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(out_.find("error: copy source \"missing.gms\" is not in the folder"),
              std::string::npos)
        << out_;
    EXPECT_NE(err_.find("refused: the check found 1 error"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(output_));
    EXPECT_EQ(Run(true), 0) << err_;
    EXPECT_TRUE(fs::exists(output_));
}

TEST_F(Pack, WhatCantBeUnpackedOnWindowsIsRefusedAndNothingIsLeftBehind) {
    folder_.Description("FileItem=c|a.gms|1|GMSPath|\n");
    folder_.File("a.gms");
    folder_.File("con.txt");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("\"con.txt\" is not a name that Windows can create"), std::string::npos)
        << err_;
    fs::remove(folder_.path() / "con.txt");
    folder_.File("A.gms");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("differ only in case"), std::string::npos) << err_;
    fs::remove(folder_.path() / "A.gms");
    // A setup program with something after its sections (a symbol table, a signature).
    std::ofstream(dist_ / "TamrickSetup.exe", std::ios::binary | std::ios::app) << "tail";
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("not the setup program as built"), std::string::npos) << err_;
    fs::remove(dist_ / "TamrickSetup.exe");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("TamrickSetup.exe was not found"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(output_));
    for (const auto& e : fs::directory_iterator(output_.parent_path())) {
        EXPECT_EQ(e.path().string().find(output_.filename().string() + "."), std::string::npos)
            << "left behind: " << e.path();
    }
}

TEST(PackName, TheDefaultIsTheFoldersNameWithSetup) {
    EXPECT_EQ(DefaultSetupName(L"/x/TamrickDemo/"), L"TamrickDemo-setup.exe");
    EXPECT_EQ(DefaultSetupName(L"/x/工具箱"), L"工具箱-setup.exe");
    EXPECT_EQ(DefaultSetupName(L"./"), fs::current_path().filename().wstring() + L"-setup.exe");
}

} // namespace
