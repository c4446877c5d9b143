// An add-on with an id, end to end: installed and listed in Apps & features (as Wine's own
// uninstaller program lists it), removed the ways an administrator and a person remove it, and a
// failed installation that leaves nothing behind. Every host folder is compared file by file
// with what it held before.

#include "base/folder_security_win32.h"
#include "base/text_encoding.h"
#include "tests/run/run_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace drv = tamrick::driver;
namespace fs = std::filesystem;
using tamrick::ToUtf8;
using namespace tamrick::test;
using namespace std::chrono_literals;

namespace {

constexpr const wchar_t* kEntry =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamrick.Demo-Addon";

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
std::wstring CommonAppData() {
    return ShellFolder(CSIDL_COMMON_APPDATA);
}
std::wstring RecordFolder() {
    return CommonAppData() + L"\\Tamrick\\Demo-Addon\\";
}

// A value of the entry, a number written out; nothing where it is missing.
std::optional<std::wstring> EntryString(const wchar_t* name, HKEY root = HKEY_LOCAL_MACHINE) {
    wchar_t value[2048] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegGetValueW(root, kEntry, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, value, sizeof number);
    return type == REG_DWORD ? std::to_wstring(number) : std::wstring(value);
}

// What Wine's uninstaller program lists: "key|||DisplayName" a line, in the console's code page.
std::wstring UninstallerList() {
    const std::wstring out = TempRoot() + L"list.txt";
    RunToEnd(L"cmd.exe /c uninstaller.exe --list > \"" + out + L"\"");
    std::wstring text;
    tamrick::AppendCodePage(GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : CP_OEMCP,
                            ReadFile(out), text);
    return text;
}

// Every file below the folders, by path, with its content.
std::map<std::wstring, std::string> Tree(const std::vector<std::wstring>& roots) {
    std::map<std::wstring, std::string> tree;
    for (const std::wstring& root : roots) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (entry.is_regular_file()) {
                tree[entry.path().wstring()] = ReadFile(entry.path());
            }
        }
    }
    return tree;
}

std::size_t ParkedUninstallers() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(temp)) {
        const std::wstring name = entry.path().filename().wstring();
        count += name.starts_with(L"Tamrick-Demo-Addon-") && name.ends_with(L".exe");
    }
    return count;
}

class RecordE2E : public RunE2E {
  protected:
    void SetUp() override {
        RunE2E::SetUp();
        for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            RegDeleteKeyW(root, kEntry);
        }
        for (const int csidl : {CSIDL_COMMON_APPDATA, CSIDL_LOCAL_APPDATA}) {
            fs::remove_all(ShellFolder(csidl) + L"\\Tamrick");
        }
        x7_ = &Install(17);
        v2020_ = &Install(22);
        // What the user had: a macro project the add-on replaces, one it deletes, one of their
        // own in each version.
        drv::WriteFileBytes(x7_->folders.gms + L"宏工具.gms", "the user's own old macros");
        drv::WriteFileBytes(v2020_->folders.gms + L"Old.gms", "an old release");
        drv::WriteFileBytes(x7_->folders.userGms + L"Mine.gms", "mine");
        drv::WriteFileBytes(v2020_->folders.userData + L"Palette.xml", "<mine/>");
        AddOnFile(L"宏工具.gms", "macros 1.0");
        AddOnFile(L"Palette.xml", "<palette 1.0/>");
        before_ = HostTree();
    }

    std::map<std::wstring, std::string> HostTree() const {
        return Tree({x7_->folder + L"folders", v2020_->folder + L"folders"});
    }

    void Release(const std::string& version, const std::string& extraItems = "") {
        Description("SetupTitle=演示插件\r\nAddonId=Demo-Addon\r\nAddonVersion=" + version +
                    "\r\nPublisher=Tamrick\r\nHostVersions=X7,2020\r\n"
                    "FileItem=c|宏工具.gms|1|GMSPath|\r\n"
                    "FileItem=c|Palette.xml|1|UserDataPath|\r\n"
                    "FileItem=k|Old.gms|0|GMSPath|\r\n" +
                    extraItems);
    }

    DWORD Silently(const std::wstring& exe, const std::wstring& arguments) const {
        return RunToEnd(L"\"" + exe + L"\" " + arguments);
    }

    // The removal as a deployment tool runs it: QuietUninstallString, with a log.
    DWORD QuietUninstall() const {
        const std::optional<std::wstring> quiet = EntryString(L"QuietUninstallString");
        EXPECT_TRUE(quiet);
        return quiet ? RunToEnd(*quiet + L" " + LogSwitch()) : ~0u;
    }

    const Version* x7_ = nullptr;
    const Version* v2020_ = nullptr;
    std::map<std::wstring, std::string> before_;
};

TEST_F(RecordE2E, ListedInAppsAndFeaturesAndRemovedQuietlyEveryFolderIsAsBefore) {
    Release("1.0", "FileItem=c|Work.cdws|0|ImportWorkspace|\r\n");
    AddOnFile(L"Work.cdws", "workspace");
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S " + LogSwitch()), 0u)
        << ReadFile(LogPath());
    EXPECT_NE(HostTree(), before_);

    // The entry, as Apps & features and deployment tools read it.
    const std::wstring uninstaller = RecordFolder() + L"Uninstall.exe";
    EXPECT_EQ(EntryString(L"DisplayName"), L"演示插件");
    EXPECT_EQ(EntryString(L"DisplayVersion"), L"1.0");
    EXPECT_EQ(EntryString(L"Publisher"), L"Tamrick");
    EXPECT_EQ(EntryString(L"UninstallString"), L"\"" + uninstaller + L"\" /UNINSTALL");
    EXPECT_EQ(EntryString(L"QuietUninstallString"), L"\"" + uninstaller + L"\" /UNINSTALL /S");
    EXPECT_EQ(EntryString(L"DisplayIcon"), uninstaller + L",0");
    EXPECT_EQ(EntryString(L"InstallLocation"), RecordFolder().substr(0, RecordFolder().size() - 1));
    EXPECT_EQ(EntryString(L"InstallDate").value_or(L"").size(), 8u);
    EXPECT_EQ(EntryString(L"NoModify"), L"1");
    EXPECT_EQ(EntryString(L"NoRepair"), L"1");
    EXPECT_EQ(EntryString(L"EstimatedSize"), L"1"); // four small files, rounded up to a kilobyte
    EXPECT_NE(UninstallerList().find(L"Tamrick.Demo-Addon|||演示插件\r\n"), std::wstring::npos)
        << ToUtf8(UninstallerList());

    // The record folder: only administrators can change it. Wine keeps of an access list only
    // what Unix permissions hold and enforces none of it: what shows is that everyone's entry,
    // which Wine gives the plain folder above it, is not there.
    const auto everyone = [](const std::wstring& folder) {
        const tamrick::AccessList access = tamrick::ReadAccessList(folder);
        EXPECT_EQ(access.error, 0u) << ToUtf8(folder);
        return std::any_of(access.entries.begin(), access.entries.end(),
                           [](const tamrick::AccessEntry& e) { return e.trustee == L"S-1-1-0"; });
    };
    EXPECT_FALSE(everyone(RecordFolder()));
    EXPECT_TRUE(everyone(CommonAppData() + L"\\Tamrick"));
    EXPECT_TRUE(fs::exists(uninstaller));

    // The add-on's folder is gone by then, as a setup's temporary folder is.
    fs::remove_all(addOn_);
    const std::size_t parkedBefore = ParkedUninstallers();
    EXPECT_EQ(QuietUninstall(), 0u);
    EXPECT_EQ(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName"));
    EXPECT_FALSE(fs::exists(CommonAppData() + L"\\Tamrick"));
    EXPECT_EQ(UninstallerList().find(L"Tamrick."), std::wstring::npos);
    // The running uninstaller parked itself, to be deleted at the next start of Windows.
    EXPECT_LE(ParkedUninstallers(), parkedBefore + 1);

    const std::vector<std::wstring> undone = RecordsOf(Log(), L"installer\tundo");
    EXPECT_NE(std::find(undone.begin(), undone.end(),
                        L"keep\t" + addOn_ +
                            L"Work.cdws\ta workspace imported into CorelDRAW "
                            L"2020: remove it in CorelDRAW"),
              undone.end());
    EXPECT_EQ(RecordsOf(Log(), L"installer\tend").back(), L"0\t卸载成功");
}

TEST_F(RecordE2E, AnUpgradeThenRemovalKeepsOnlyAChangedFileAndWithoutAnIdNothingIsRecorded) {
    Release("1.0");
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S"), 0u);
    AddOnFile(L"宏工具.gms", "macros 2.0");
    AddOnFile(L"New.gms", "new in 2.0");
    Release("2.0", "FileItem=c|New.gms|1|GMSPath|\r\n");
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S"), 0u);
    EXPECT_EQ(EntryString(L"DisplayVersion"), L"2.0");
    EXPECT_EQ(ReadFile(x7_->folders.gms + L"宏工具.gms"), "macros 2.0");

    // The user edits the palette the add-on put into X7.
    const std::wstring edited = x7_->folders.userData + L"Palette.xml";
    drv::WriteFileBytes(edited, "<edited/>");
    EXPECT_EQ(QuietUninstall(), 13u);
    std::map<std::wstring, std::string> expected = before_;
    expected[edited] = "<edited/>";
    EXPECT_EQ(HostTree(), expected);
    // Five changes of 1.0, six of 2.0.
    EXPECT_EQ(RecordsOf(Log(), L"installer\tundo").size(), 11u);
    const std::vector<std::wstring> kept = RecordsOf(Log(), L"installer\tundo");
    EXPECT_NE(std::find(kept.begin(), kept.end(),
                        L"keep\t" + edited + L"\tchanged since the installation"),
              kept.end());
    EXPECT_FALSE(fs::exists(RecordFolder()));

    // Without an id, nothing is recorded or listed.
    Description("HostVersions=X7\r\nFileItem=c|宏工具.gms|1|GMSPath|\r\n");
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S"), 0u);
    EXPECT_EQ(ReadFile(x7_->folders.gms + L"宏工具.gms"), "macros 2.0");
    EXPECT_FALSE(fs::exists(CommonAppData() + L"\\Tamrick"));
    EXPECT_FALSE(fs::exists(ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Tamrick"));
    EXPECT_EQ(UninstallerList().find(L"Tamrick."), std::wstring::npos);
}

TEST_F(RecordE2E, AFailedInstallationInTheSecondVersionLeavesNoTrace) {
    // A required delete that finds its file in X7 but not in 2020, after every other item.
    drv::WriteFileBytes(x7_->folders.gms + L"Only7.gms", "only in X7");
    before_ = HostTree();
    Release("1.0", "FileItem=k|Only7.gms|1|GMSPath|\r\n");
    const HWND window = Start();
    ASSERT_NE(window, nullptr);
    ClickAndAnswer(window, IDOK);
    const drv::MessageBoxInfo report = FinalMessage(window);
    EXPECT_EQ(report.text, L"缺少安装必需的文件，文件(" + v2020_->folders.gms +
                               L"Only7.gms)不存在。\r\n请联系软件作者寻求帮助。\r\n"
                               L"本次安装所做的更改已全部撤销，没有改动任何文件。");
    EXPECT_EQ(report.icon, drv::IconKind::Error);
    EXPECT_EQ(exitCode_, 4u);
    EXPECT_EQ(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName"));
    EXPECT_FALSE(fs::exists(CommonAppData() + L"\\Tamrick"));
}

TEST_F(RecordE2E, AStandardUsersAddOnIsRecordedForThatUserAndRemovedWithoutAdministrators) {
    Release("1.0");
    ASSERT_EQ(
        RunWithoutElevation(L"\"" + addOn_ + L"TamrickInstaller.exe\" /S " + LogSwitch(), addOn_),
        std::optional<DWORD>(0))
        << ReadFile(LogPath());
    EXPECT_NE(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName")) << "listed for every user";
    EXPECT_FALSE(fs::exists(CommonAppData() + L"\\Tamrick"));
    const std::wstring uninstaller =
        ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Tamrick\\Demo-Addon\\Uninstall.exe";
    EXPECT_TRUE(fs::exists(uninstaller));
    EXPECT_EQ(EntryString(L"DisplayName", HKEY_CURRENT_USER), L"演示插件");
    const std::optional<std::wstring> quiet =
        EntryString(L"QuietUninstallString", HKEY_CURRENT_USER);
    ASSERT_EQ(quiet, L"\"" + uninstaller + L"\" /UNINSTALL /S");

    EXPECT_EQ(RunWithoutElevation(*quiet, TempRoot()), std::optional<DWORD>(0));
    EXPECT_EQ(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName", HKEY_CURRENT_USER));
    EXPECT_FALSE(fs::exists(ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Tamrick"));
}

TEST_F(RecordE2E, RemovedAsAppsAndFeaturesStartsItTheWarningFirstWhereCancelChangesNothing) {
    Release("1.0");
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S"), 0u);
    const auto installed = HostTree();

    const auto removeFromList = [] {
        return drv::Process::Launch(L"C:\\windows\\system32\\uninstaller.exe", TempRoot(),
                                    L"--remove Tamrick.Demo-Addon");
    };
    const auto uninstallerPid = [] {
        std::vector<tamrick::UniqueHandle> found;
        EXPECT_TRUE(
            drv::WaitUntil([&] { return !(found = ProcessesNamed(L"Uninstall.exe")).empty(); }));
        return found.empty() ? 0 : GetProcessId(found.front().get());
    };
    {
        const drv::Process list = removeFromList();
        const DWORD pid = uninstallerPid();
        const HWND box = NextMessageBox(pid);
        ASSERT_NE(box, nullptr);
        const drv::MessageBoxInfo warning = drv::ReadMessageBox(box, Icons());
        EXPECT_EQ(warning.title, L"Tamrick Installer");
        EXPECT_EQ(warning.text,
                  L"将要卸载“演示插件”，并从 CorelDRAW X7、2020 中删除它的文件。\r\n" +
                      std::wstring(kConfirmText));
        EXPECT_EQ(warning.icon, drv::IconKind::Warning) << drv::ToString(warning.icon);
        ASSERT_EQ(warning.buttons.size(), 2u);
        drv::PressButton(box, IDCANCEL);
        EXPECT_TRUE(drv::WaitUntil([] { return ProcessesNamed(L"Uninstall.exe").empty(); }));
        EXPECT_TRUE(list.WaitForExit(kRunTimeout));
        EXPECT_EQ(HostTree(), installed);
        EXPECT_TRUE(EntryString(L"DisplayName"));
    }
    const drv::Process list = removeFromList();
    const DWORD pid = uninstallerPid();
    const HWND warning = NextMessageBox(pid);
    ASSERT_NE(warning, nullptr);
    drv::PressButton(warning, IDOK);
    const HWND done = NextMessageBox(pid, warning, kRunTimeout);
    ASSERT_NE(done, nullptr);
    const drv::MessageBoxInfo info = drv::ReadMessageBox(done, Icons());
    EXPECT_EQ(info.text, L"卸载成功！");
    EXPECT_EQ(info.icon, drv::IconKind::Information) << drv::ToString(info.icon);
    // Nothing is left to remove while the message is up: the removal is done before it.
    EXPECT_EQ(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName"));
    drv::PressButton(done, IDOK);
    EXPECT_TRUE(list.WaitForExit(kRunTimeout));
}

TEST_F(RecordE2E, ARemovalKilledHalfWayFinishesWhenStartedAgain) {
    std::string items;
    for (int i = 0; i < 400; ++i) {
        const std::wstring name = L"m" + std::to_wstring(i) + L".gms";
        AddOnFile(name, "macro " + std::to_string(i));
        items += "FileItem=c|" + ToUtf8(name) + "|1|UserGMSPath|\r\n";
    }
    Release("1.0", items);
    ASSERT_EQ(Silently(addOn_ + L"TamrickInstaller.exe", L"/S"), 0u);

    const std::wstring uninstaller = RecordFolder() + L"Uninstall.exe";
    const drv::Process first =
        drv::Process::Launch(uninstaller, RecordFolder(), L"/UNINSTALL /S " + LogSwitch());
    // Killed once it has taken back a few changes, as a power cut would stop it.
    EXPECT_TRUE(drv::WaitUntil([&] { return RecordsOf(Log(), L"installer\tundo").size() >= 5; },
                               kRunTimeout));
    first.Kill();
    ASSERT_TRUE(first.WaitForExit());
    EXPECT_NE(HostTree(), before_) << "the removal ended before it was killed";
    EXPECT_TRUE(EntryString(L"DisplayName"));

    EXPECT_EQ(Silently(uninstaller, L"/UNINSTALL /S"), 0u);
    EXPECT_EQ(HostTree(), before_);
    EXPECT_FALSE(EntryString(L"DisplayName"));
    EXPECT_FALSE(fs::exists(RecordFolder()));
}

} // namespace

int main(int argc, char** argv) {
    return RunTestMain(argc, argv);
}
