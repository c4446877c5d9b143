// `instinfo pack` on Linux: the packer's refusals, its output and its same bytes for the same
// folder (read back with libgcab).

#include "addon_folder.h"
#include "setup/payload.h"
#include "test_programs.h"
#include "tools/instinfo/pack.h"
#include "tools/instinfo/payload_files.h"

#include <gtest/gtest.h>
#include <libgcab.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tamrick;
using tamrick::test::FakeProgram;

namespace {

// A GLib object (or, with its own unref, any GLib handle) that is let go with its owner.
template <typename T, auto Unref = g_object_unref> struct GUnref {
    void operator()(T* p) const { Unref(p); }
};
template <typename T, auto Unref = g_object_unref>
using GPtr = std::unique_ptr<T, GUnref<T, Unref>>;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `instinfo pack` with a made-up distribution: a program whose sections end where it ends, and
// an installer.
class Pack : public testing::Test {
  protected:
    void SetUp() override {
        dist_.File("TamrickSetup.exe", FakeProgram(0x1000));
        dist_.File("TamrickInstaller.exe", "installer");
        output_ = folder_.path().parent_path() /
                  ("tamrick-pack-" + std::to_string(::getpid()) + "-setup.exe");
    }
    void TearDown() override { fs::remove(output_); }

    int Run(bool force = false) {
        PackOptions options;
        options.folder = folder_.Prefix();
        options.output = output_.wstring();
        options.force = force;
        options.distribution = {dist_.path().wstring()};
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

        const GPtr<GBytes, g_bytes_unref> bytes(g_bytes_new(cab.data(), cab.size()));
        const GPtr<GInputStream> in(g_memory_input_stream_new_from_bytes(bytes.get()));
        const GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
        const AddOnFolder out("unpacked");
        const GPtr<GFile> target(g_file_new_for_path(out.path().c_str()));
        GError* error = nullptr;
        std::map<std::string, std::string> files;
        if (gcab_cabinet_load(cabinet.get(), in.get(), nullptr, &error) &&
            gcab_cabinet_extract(cabinet.get(), target.get(), nullptr, nullptr, nullptr, nullptr,
                                 &error)) {
            for (const auto& e : fs::recursive_directory_iterator(out.path())) {
                if (e.is_regular_file()) {
                    const std::u8string name = fs::relative(e.path(), out.path()).u8string();
                    files[std::string(name.begin(), name.end())] = ReadAll(e.path());
                }
            }
        } else {
            ADD_FAILURE() << (error != nullptr ? error->message : "gcab failed");
            g_clear_error(&error);
        }
        return files;
    }

    AddOnFolder folder_;
    AddOnFolder dist_{"dist"}; // the distributable
    fs::path output_;
    std::string out_;
    std::string err_;
};

TEST_F(Pack, EveryFileGoesInWithItsPathTheSetupProgramFirstAndAlwaysInTheSameBytes) {
    const std::string description = "SetupTitle=小插件\nFileItem=c|a.gms|1|GMSPath|\n"
                                    "FileItem=c|子目录\\深 层\\说明 文件.txt|0|ApplicationPath|\n";
    folder_.Description(description);
    const std::string macros(300000, 'a'); // more than one block
    folder_.File("a.gms", macros);
    folder_.File("子目录/深 层/说明 文件.txt", "中文");
    ASSERT_EQ(Run(), 0) << err_;
    const std::string first = ReadAll(output_);
    EXPECT_EQ(first.substr(0, 0x1000), FakeProgram(0x1000));
    const auto decoded = payload::DecodeHeader(std::string_view(first).substr(0x1000));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->header.title, L"小插件");
    const std::map<std::string, std::string> expected{{"InstInfo.ini", description},
                                                      {"a.gms", macros},
                                                      {"TamrickInstaller.exe", "installer"},
                                                      {"子目录/深 层/说明 文件.txt", "中文"}};
    EXPECT_EQ(Unpacked(), expected);
    EXPECT_NE(out_.find("子目录\\深 层\\说明 文件.txt  6 bytes"), std::string::npos) << out_;
    EXPECT_NE(out_.find("note: the folder has no TamrickInstaller.exe"), std::string::npos) << out_;
    EXPECT_NE(out_.find("setup: "), std::string::npos) << out_;

    fs::last_write_time(folder_.path() / "a.gms",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    fs::permissions(folder_.path() / "子目录/深 层/说明 文件.txt", fs::perms::owner_read);
    ASSERT_EQ(Run(), 0) << err_;
    EXPECT_EQ(ReadAll(output_), first);
    folder_.File("TamrickInstaller.exe", "the folder's own installer");
    ASSERT_EQ(Run(), 0) << err_;
    EXPECT_EQ(Unpacked()["TamrickInstaller.exe"], "the folder's own installer");
    EXPECT_EQ(out_.find("note: the folder has no"), std::string::npos);
}

TEST_F(Pack, AnErrorInTheCheckRefusesUnlessForced) {
    folder_.Description("FileItem=c|missing.gms|1|GMSPath|\n");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("refused: the check found 1 error"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(output_));
    EXPECT_EQ(Run(true), 0) << err_;
    EXPECT_TRUE(fs::exists(output_));
}

TEST_F(Pack, WhatNoSetupCanCarryIsRefusedEvenWhenForcedAndNothingIsLeftBehind) {
    folder_.Description("FileItem=c|aux.gms|1|GMSPath|\nFileItem=c|A.gms|1|GMSPath|\n"
                        "FileItem=c|a.gms|1|GMSPath|\nFileItem=c|gone.gms|1|GMSPath|\n");
    folder_.File("aux.gms");
    folder_.File("A.gms");
    folder_.File("a.gms");
    fs::create_symlink(folder_.path() / "a.gms", folder_.path() / "flags.bmp");
    // All at once, in the check's words, and --force does not get them in.
    EXPECT_EQ(Run(true), 1);
    EXPECT_NE(out_.find("InstInfo.ini: error: banner \"flags.bmp\" is a symbolic link"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("InstInfo.ini:1: error: copy source \"aux.gms\" is not a name that "
                        "Windows can create"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("InstInfo.ini:3: error: copy source \"a.gms\" and copy source \"A.gms\" "
                        "on line 2 differ only in case"),
              std::string::npos)
        << out_;
    EXPECT_NE(err_.find("refused: 3 errors above can't go into any setup, not even with --force"),
              std::string::npos)
        << err_;
    folder_.Description("FileItem=c|a.gms|1|GMSPath|\n");
    fs::remove(folder_.path() / "flags.bmp");
    // A setup program with something after its sections (a symbol table, a signature).
    std::ofstream(dist_.path() / "TamrickSetup.exe", std::ios::binary | std::ios::app) << "tail";
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("not the setup program as built"), std::string::npos) << err_;
    fs::remove(dist_.path() / "TamrickSetup.exe");
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err_.find("TamrickSetup.exe was not found"), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(output_));
    for (const auto& e : fs::directory_iterator(output_.parent_path())) {
        EXPECT_EQ(e.path().string().find(output_.filename().string() + "."), std::string::npos)
            << "left behind: " << e.path();
    }
    // A setup to be written into a folder that is not there is named with that folder.
    const fs::path nowhere = folder_.path() / "missing" / "folder";
    output_ = nowhere / "x.exe";
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(err_, "instinfo pack: " + output_.string() + " can't be written: the folder " +
                        nowhere.string() + " does not exist\n");
}

// What goes in, line by line of the description, and what no setup can carry, all in one run.
TEST(PayloadSelection, TheItemsSourcesGoInAndEveryFileNoSetupCanCarryIsReported) {
    const AddOnFolder folder;
    const fs::path outside = folder.path().string() + "-outside";
    fs::create_directories(outside);
    std::ofstream(outside / "x.gms") << "elsewhere";
    fs::create_symlink(outside / "x.gms", folder.path() / "link.gms");
    fs::create_directory_symlink(outside, folder.path() / "linked");
    const std::string up = "..\\" + outside.filename().string() + "\\x.gms";
    const struct {
        std::string line;
        const char* entry;   // what it puts in the payload
        const char* problem; // the code of its problem
    } kLines[] = {
        {"FlagsPicture=banner.bmp", "banner.bmp", ""},
        {"FileItem=c|a.gms|1|GMSPath|", "a.gms", ""},
        {"FileItem=c|SUB\\.\\b.gms|1|GMSPath|", "sub\\b.gms", ""}, // as named on disk
        {"FileItem=c|a.gms|0|UserGMSPath|", "", ""},               // one entry a file
        {"FileItem=c|w.xml|1|ImportWorkspace|", "w.xml", ""},
        {"FileItem=k|old.gms|0|GMSPath|", "", ""},  // CorelDRAW's file, not a source
        {"FileItem=x|x.txt|0|GMSPath|", "", ""},    // an item that does nothing
        {"FileItem=c|gone.gms|0|GMSPath|", "", ""}, // missing: the check says so
        {"FileItem=c|" + up + "|1|GMSPath|", "", "payload-outside"},
        {"FileItem=c|\\x.gms|0|GMSPath|", "", "payload-outside"},
        {"FileItem=c|/x.gms|0|GMSPath|", "", "payload-outside"},
        {"FileItem=c|C:x.gms|0|GMSPath|", "", "payload-outside"},
        {"FileItem=c|\\\\server\\x.gms|0|GMSPath|", "", "payload-outside"},
        {"FileItem=c|link.gms|1|GMSPath|", "", "payload-link"},
        {"FileItem=c|linked\\x.gms|1|GMSPath|", "", "payload-link"},
        {"FileItem=c|aux.gms|1|GMSPath|", "aux.gms", "payload-name"},
        {"FileItem=c|trail.gms.|1|GMSPath|", "trail.gms.", "payload-name"},
        {"FileItem=c|Case.gms|1|GMSPath|", "Case.gms", ""},
        {"FileItem=c|case.gms|1|GMSPath|", "case.gms", "payload-case"},
    };
    std::string description;
    std::vector<std::wstring> entries{L"InstInfo.ini"};
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < std::size(kLines); ++i) {
        description += kLines[i].line + "\n";
        if (*kLines[i].entry != 0) {
            entries.push_back(fs::path(kLines[i].entry).wstring());
        }
        if (*kLines[i].problem != 0) {
            problems.push_back(std::to_string(i + 1) + " " + kLines[i].problem);
        }
    }
    std::sort(entries.begin(), entries.end());
    folder.Description(description);
    for (const char* name :
         {"banner.bmp", "a.gms", "sub/b.gms", "w.xml", "old.gms", "x.txt", "aux.gms", "trail.gms.",
          "Case.gms", "case.gms", "notes.txt", ".git/HEAD", "old-setup.exe", "addon-setup.exe"}) {
        folder.File(name);
    }

    const PayloadSelection selection =
        SelectPayload(folder.Prefix(), ParseDescription(description));
    std::vector<std::wstring> names;
    for (const PayloadFile& f : selection.files) {
        names.push_back(f.name);
    }
    EXPECT_EQ(names, entries);
    std::vector<std::string> found;
    for (const PayloadProblem& p : selection.problems) {
        found.push_back(std::to_string(p.line) + " " + p.code);
    }
    EXPECT_EQ(found, problems);
    EXPECT_NE(ToUtf8(selection.problems[6].message).find("\"linked\" is a symbolic link"),
              std::string::npos);
    // Links are listed, not followed; the setup being written is not listed.
    EXPECT_EQ(FilesLeftOut(folder.Prefix(), selection.files,
                           (folder.path() / "addon-setup.exe").wstring()),
              (std::vector<std::wstring>{L".git\\HEAD", L"link.gms", L"linked", L"notes.txt",
                                         L"old-setup.exe", L"old.gms", L"x.txt"}));
    fs::remove_all(outside);
}

// The packagers' documented example is what `instinfo pack demo` prints; only the sizes of the
// shipped programs (and so of the setup) change from build to build.
TEST_F(Pack, TheDocumentedExampleIsWhatPackingTheDemoPrints) {
    const std::string doc = ReadAll(TAMRICK_PACKAGING_DOC);
    const std::string begin = "<!-- pack-example:begin -->\n```text\n";
    const auto from = doc.find(begin);
    const auto to = doc.find("```\n<!-- pack-example:end -->");
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to)
        << "no pack example in " << TAMRICK_PACKAGING_DOC;
    const std::string documented = doc.substr(from + begin.size(), to - from - begin.size());

    fs::copy(fs::path(TAMRICK_SOURCE_DIR) / "demo", folder_.path() / "demo");
    const std::string shell = "cd '" + folder_.path().string() + "' && TAMRICK_DIST='" +
                              dist_.path().string() + "' '" TAMRICK_INSTINFO "' pack demo 2>&1";
    const std::unique_ptr<FILE, int (*)(FILE*)> run(::popen(shell.c_str(), "r"), ::pclose);
    ASSERT_TRUE(run);
    std::string printed = "$ TAMRICK_DIST=/opt/tamrick instinfo pack demo\n";
    for (int c = 0; (c = std::fgetc(run.get())) != EOF;) {
        printed.push_back(static_cast<char>(c));
    }
    const std::string dist = dist_.path().string();
    for (std::size_t at = 0; (at = printed.find(dist, at)) != std::string::npos;) {
        printed.replace(at, dist.size(), "/opt/tamrick");
    }
    const auto sizesMasked = [](const std::string& text) {
        static const std::regex installer("(TamrickInstaller\\.exe  )[0-9,]+");
        static const std::regex setup("(\nsetup: [^\n]*?, )[0-9,]+( bytes \\([0-9]+ files, )[0-9,]+"
                                      "( bytes unpacked; setup program )[0-9,]+");
        return std::regex_replace(std::regex_replace(text, installer, "$1N"), setup, "$1N$2N$3N");
    };
    EXPECT_EQ(sizesMasked(documented), sizesMasked(printed));
}

TEST(PackName, TheDefaultIsTheFoldersNameWithSetup) {
    EXPECT_EQ(DefaultSetupName(L"/x/TamrickDemo/"), L"TamrickDemo-setup.exe");
    EXPECT_EQ(DefaultSetupName(L"/x/工具箱"), L"工具箱-setup.exe");
    EXPECT_EQ(DefaultSetupName(L"./"), fs::current_path().filename().wstring() + L"-setup.exe");
}

} // namespace
