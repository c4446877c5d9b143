// `instinfo pack` on Linux: the packer's refusals, its output and its same bytes for the same
// folder (read back with libgcab).

#include "addon_folder.h"
#include "setup/payload.h"
#include "test_programs.h"
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
using tamrick::test::FakeProgram;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
