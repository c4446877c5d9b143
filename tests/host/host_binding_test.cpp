// The COM binding against the stand-in host, in a Wine prefix of the build's own: what the
// caller gets back, and what the host was asked (the stand-in's log).

#include "base/error.h"
#include "base/registry.h"
#include "base/system_text.h"
#include "base/text_encoding.h"
#include "driver/driver.h"
#include "install/host/com_support.h"
#include "install/host/host.h"
#include "install/host/host_finder_win32.h"
#include "install/host/host_thread_win32.h"
#include "tests/support/standin_control.h"
#include "tools/standin/standin.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

using tamrick::Error;
using tamrick::MakeComHost;
using tamrick::ToUtf8;
using namespace tamrick::test;

// Releases the connection and waits until the host has ended, so that its log is complete.
void ReleaseAndWaitForExit(tamrick::Host& host) {
    const std::vector<tamrick::UniqueHandle> running = StandInProcesses();
    host.Release();
    EXPECT_TRUE(EndedByThemselves(running))
        << "the host kept running after its last object was released";
}

constexpr std::wstring_view kFolders = L"path=C:\\Corel\\Programs\\\n"
                                       L"gmspath=C:\\Corel\\Draw\\GMS\\\n"
                                       L"usergmspath=C:\\users\\演示\\Corel\\GMS\\\n"
                                       L"userdatapath=C:\\users\\演示\\Corel\\Draw\\\n";

class HostBinding : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        QuitStandIns();
        ASSERT_TRUE(StandIn().Install());
    }

    void SetUp() override {
        // A server whose client died stays running, and the next activation would attach to it.
        QuitStandIns();
        StandIn().ClearLog();
        StandIn().WriteConfig(kFolders);
    }

    void TearDown() override { QuitStandIns(); }
};

TEST_F(HostBinding, DrivesTheHostAndLetsItEndOnRelease) {
    // Folder strings come back exactly as the host gives them.
    StandIn().WriteConfig(L"path=C:\\Corel\\Programs\n"
                          L"gmspath=\n"
                          L"usergmspath=D:\\GMS 文件夹 \n"
                          L"userdatapath=relative\\\\twice\\\\\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    host->SetInvisible();
    // A key that names no folder asks the host for nothing.
    for (const wchar_t* key :
         {L"importworkspace", L"GMSPath", L"gmspath ", L" userdatapath", L"", L"path"})
        EXPECT_EQ(host->ResolveFolder(key), std::nullopt) << ToUtf8(key);
    EXPECT_EQ(host->ResolveFolder(L"userdatapath"), L"relative\\\\twice\\\\");
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"");
    EXPECT_EQ(host->ResolveFolder(L"usergmspath"), L"D:\\GMS 文件夹 ");
    EXPECT_EQ(host->ResolveFolder(L"applicationpath"), L"C:\\Corel\\Programs");
    host->ImportWorkspace(L"C:\\加载项\\Tamrick 工作区.cdws");

    ASSERT_EQ(StandInProcesses().size(), 1u);
    // Released, the host has no object left and ends by itself; it was not asked to quit.
    ReleaseAndWaitForExit(*host);

    const std::vector<std::wstring> expected = {
        L"Application\tcreate",
        L"Application.Visible\tput\tFalse",
        L"Application.UserDataPath\tget",
        L"Application.GMSManager\tget",
        L"GMSManager.GMSPath\tget",
        L"Application.GMSManager\tget",
        L"GMSManager.UserGMSPath\tget",
        L"Application.Application\tget",
        L"Application.Path\tget",
        L"Application.ImportWorkspace\tcall\tC:\\加载项\\Tamrick 工作区.cdws",
        L"CorelDRW.exe\texit",
    };
    EXPECT_EQ(StandIn().LoggedCalls(), expected);
}

TEST_F(HostBinding, WithoutTheTypeLibraryTheMembersAreStillCalledByName) {
    ASSERT_EQ(UnRegisterTypeLib(standin::kTypeLibId, standin::kTypeLibMajor, standin::kTypeLibMinor,
                                LOCALE_NEUTRAL, standin::kSysKind),
              S_OK);
    struct Reregister {
        ~Reregister() {
            QuitStandIns();
            EXPECT_EQ(StandIn().Run(L"/RegServer"), 0u);
        }
    } reregister;
    {
        // The object now refuses its own interface across the process boundary.
        Microsoft::WRL::ComPtr<IUnknown> direct;
        EXPECT_EQ(CoCreateInstance(tamrick::kHostApplicationClsid, nullptr, CLSCTX_LOCAL_SERVER,
                                   tamrick::kHostApplicationIid, &direct),
                  E_NOINTERFACE);
    }
    QuitStandIns();
    StandIn().ClearLog();

    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    host->SetInvisible();
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"C:\\Corel\\Draw\\GMS\\");
    EXPECT_EQ(host->ResolveFolder(L"applicationpath"), L"C:\\Corel\\Programs\\");
    host->ImportWorkspace(L"C:\\addon\\a.cdws");
    ReleaseAndWaitForExit(*host);
    const std::vector<std::wstring> expected = {
        L"Application\tcreate",
        L"Application.Visible\tput\tFalse",
        L"Application.GMSManager\tget",
        L"GMSManager.GMSPath\tget",
        L"Application.Application\tget",
        L"Application.Path\tget",
        L"Application.ImportWorkspace\tcall\tC:\\addon\\a.cdws",
        L"CorelDRW.exe\texit",
    };
    EXPECT_EQ(StandIn().LoggedCalls(), expected);
}

TEST_F(HostBinding, AHostThatRefusesTheCreationIsError429) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"refusecreation=0x80004005\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    try {
        host->Open();
        ADD_FAILURE() << "a refused creation opened";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), tamrick::kErrCantCreateObject);
        EXPECT_FALSE(error.description().empty());
    }
    // Nobody holds an object of it, so the host ends by itself.
    EXPECT_TRUE(EndedByThemselves(StandInProcesses()));
    EXPECT_EQ(StandIn().LoggedCalls(),
              (std::vector<std::wstring>{L"Application\tcreate\trefused\t0x80004005",
                                         L"CorelDRW.exe\texit"}));
}

struct HostFailure {
    std::int32_t number;
    std::wstring description;
};

template <class Call> HostFailure FailureOf(Call call) {
    try {
        call();
    } catch (const Error& error) {
        return {error.number(), error.description()};
    }
    ADD_FAILURE() << "the call did not fail";
    return {};
}

TEST_F(HostBinding, AFailingHostCallReachesTheCallerWithTheHostsNumberAndDescription) {
    StandIn().WriteConfig(std::wstring(kFolders) +
                          L"fail=GMSPath,1004,宏文件夹不可用, 请重新安装\n"
                          L"fail=ImportWorkspace,0x800A0035,Workspace missing\n"
                          L"fail=Path,0x80041234,\n"
                          L"fail=Visible,0x80070005,\n"
                          L"fail=UserDataPath,1005,\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();

    const HostFailure numbered = FailureOf([&] { host->ResolveFolder(L"gmspath"); });
    EXPECT_EQ(numbered.number, 1004);
    EXPECT_EQ(numbered.description, L"宏文件夹不可用, 请重新安装");
    // A number without a description is named in the messages' language.
    const HostFailure unexplained = FailureOf([&] { host->ResolveFolder(L"userdatapath"); });
    EXPECT_EQ(unexplained.number, 1005);
    EXPECT_EQ(unexplained.description, L"CorelDRAW 返回了错误 1005。");

    // Basic-style HRESULTs carry their number in the low word.
    const HostFailure basic = FailureOf([&] { host->ImportWorkspace(L"C:\\a.cdws"); });
    EXPECT_EQ(basic.number, 53);
    EXPECT_EQ(basic.description, L"Workspace missing");

    // Without a description, the system's text, or the code itself where there is none.
    const HostFailure bare = FailureOf([&] { host->ResolveFolder(L"applicationpath"); });
    EXPECT_EQ(bare.number, static_cast<std::int32_t>(0x80041234));
    EXPECT_NE(bare.description.find(L"0x80041234"), std::wstring::npos);
    const HostFailure denied = FailureOf([&] { host->SetInvisible(); });
    EXPECT_EQ(denied.number, static_cast<std::int32_t>(E_ACCESSDENIED));
    EXPECT_EQ(denied.description,
              tamrick::SystemErrorText(static_cast<std::uint32_t>(E_ACCESSDENIED)));
    EXPECT_EQ(denied.description.find(L"0x"), std::wstring::npos);

    // The other members still answer.
    EXPECT_EQ(host->ResolveFolder(L"usergmspath"), L"C:\\users\\演示\\Corel\\GMS\\");
    host->Release();
}

TEST(HostBindingBeforeOpen, CallsFailAsObjectNotSetAndReleaseIsHarmless) {
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Release();
    const HostFailure failure = FailureOf([&] { host->ResolveFolder(L"gmspath"); });
    EXPECT_EQ(failure.number, 91);
    EXPECT_FALSE(failure.description.empty());
    EXPECT_THROW(host->ImportWorkspace(L"C:\\a.cdws"), Error);
    // Keys that aren't folders ask nothing, so they don't fail either.
    EXPECT_EQ(host->ResolveFolder(L"importworkspace"), std::nullopt);
}

TEST_F(HostBinding, ABusyHostIsWaitedForUntilItTakesTheCreation) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"busy=3\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"C:\\Corel\\Draw\\GMS\\");
    ReleaseAndWaitForExit(*host);

    const std::vector<std::wstring> calls = StandIn().LoggedCalls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_GE(CountOf(calls, L"Application\tbusy"), 2u);
    EXPECT_EQ(calls[0], L"Application\tbusy");
    EXPECT_EQ(CountOf(calls, L"Application\tcreate"), 1u);
    EXPECT_EQ(calls.back(), L"CorelDRW.exe\texit");
}

TEST_F(HostBinding, AHostBusyForLongerThanTheLimitFailsAsAnErrorNot429) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"busy=60\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost(tamrick::kX3Major, 2s);
    const HostFailure creation = FailureOf([&] { host->Open(); });
    EXPECT_EQ(creation.number, static_cast<std::int32_t>(RPC_E_CALL_REJECTED));
    // The system's text where it has one (Windows does; Wine names the code).
    EXPECT_EQ(creation.description,
              tamrick::SystemErrorText(static_cast<std::uint32_t>(RPC_E_CALL_REJECTED)));
    EXPECT_GE(CountOf(StandIn().LoggedCalls(), L"Application\tbusy"), 2u);
    EXPECT_EQ(CountOf(StandIn().LoggedCalls(), L"Application\tcreate"), 0u);

    // A member is given up on the same way; that it is tried again: run_host_faults_e2e.cpp.
    QuitStandIns();
    StandIn().WriteConfig(std::wstring(kFolders) + L"busy=60,Visible\n");
    const std::unique_ptr<tamrick::Host> second = MakeComHost(tamrick::kX3Major, 2s);
    second->Open();
    const HostFailure member = FailureOf([&] { second->SetInvisible(); });
    EXPECT_EQ(member.number, static_cast<std::int32_t>(RPC_E_CALL_REJECTED));
    EXPECT_EQ(member.description,
              tamrick::SystemErrorText(static_cast<std::uint32_t>(RPC_E_CALL_REJECTED)));
    second->Release();
}

// The stand-in's dialog that holds a hung call, once it shows.
HWND HostDialog() {
    const HWND dialog = WaitForWindowNamed(L"#32770", 10s);
    EXPECT_EQ(tamrick::driver::WindowText(dialog), L"CorelDRAW X3") << "no dialog of the host";
    return dialog;
}

// The host's calls on a thread of their own, with the caller counting how long it was free.
class HostThread : public HostBinding {
  protected:
    std::unique_ptr<tamrick::Host> Make() {
        return tamrick::MakeHostOnThread(MakeComHost(), [this](HANDLE done) {
            ++waits_;
            while (WaitForSingleObject(done, 50) == WAIT_TIMEOUT) {
                ++ticks_;
                if (whileWaiting_) {
                    whileWaiting_(done);
                }
            }
        });
    }

    int waits_ = 0;
    int ticks_ = 0;
    std::function<void(HANDLE)> whileWaiting_;
};

TEST_F(HostThread, TheCallerWaitsInItsOwnWayWhileTheHostStartsAndAnswers) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"slowstart=3\n"
                                                   L"fail=GMSPath,1004,宏文件夹不可用\n");
    std::unique_ptr<tamrick::Host> host = Make();
    host->Open();
    EXPECT_GE(ticks_, 30) << "the caller did not get its thread back during a slow start";
    EXPECT_EQ(host->ResolveFolder(L"userdatapath"), L"C:\\users\\演示\\Corel\\Draw\\");
    EXPECT_EQ(host->ResolveFolder(L"importworkspace"), std::nullopt);
    const HostFailure failure = FailureOf([&] { host->ResolveFolder(L"gmspath"); });
    EXPECT_EQ(failure.number, 1004);
    EXPECT_EQ(failure.description, L"宏文件夹不可用");
    EXPECT_EQ(waits_, 4);
    // Destroyed, it releases the host on its thread before it returns.
    const std::vector<tamrick::UniqueHandle> running = StandInProcesses();
    host.reset();
    EXPECT_TRUE(EndedByThemselves(running, 5000));
}

TEST_F(HostThread, AHungCallReturnsWhenTheHostsDialogIsAnsweredHoweverLongItTakes) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"hang=ImportWorkspace\n");
    const std::unique_ptr<tamrick::Host> host = Make();
    host->Open();
    whileWaiting_ = [&](HANDLE) {
        if (ticks_ == 60) { // 3 s and more
            tamrick::driver::PressButton(HostDialog(), IDOK);
        }
    };
    host->ImportWorkspace(L"C:\\a.xml");
    EXPECT_GE(ticks_, 60);
    ReleaseAndWaitForExit(*host);
    EXPECT_EQ(CountOf(StandIn().LoggedCalls(), L"Application.ImportWorkspace\tcall\tC:\\a.xml"),
              1u);
}

// The x86_64 build's stand-in (CI builds both presets first); empty in the x86_64 build.
std::wstring OtherWidthStandIn() {
#ifdef TAMRICK_OTHER_WIDTH_STANDIN
    return tamrick::driver::FromUnixPath(TAMRICK_OTHER_WIDTH_STANDIN).wstring();
#else
    return L"";
#endif
}

// Versions other than X3, each a stand-in of its own folder, registered as a setup of that
// version would register it.
class HostVersions : public HostBinding {
  protected:
    // The stand-in of one version, registered, with its folders under C:\V<major>\. With
    // otherWidth, a host of the other width than this program: the x86_64 build's stand-in for
    // the i686 suite, this build's registered in the other registry view for the x86_64 one.
    const StandInControl& Version(int major, bool otherWidth = false) {
        const std::wstring folder = TestTempFolder(L"host-v" + std::to_wstring(major));
        CreateDirectoryW(folder.c_str(), nullptr);
        const bool otherBuild = otherWidth && sizeof(void*) == 4;
        auto standIn =
            std::make_unique<StandInControl>(folder, otherBuild ? OtherWidthStandIn() : L"");
        const std::wstring root = L"C:\\V" + std::to_wstring(major) + L"\\";
        standIn->WriteConfig(L"version=" + std::to_wstring(major) + L"\npath=" + root +
                             L"Programs\\\ngmspath=" + root + L"GMS\\\nusergmspath=" + root +
                             L"UserGMS\\\nuserdatapath=" + root + L"Draw\\\n");
        standIn->ClearLog();
        EXPECT_TRUE(standIn->Install());
        if (otherWidth && !otherBuild) {
            EXPECT_EQ(standIn->Run(L"/UnregServer"), 0u);
            EXPECT_EQ(standIn->Run(L"/RegServer /OtherView"), 0u);
        }
        versions_.push_back(std::move(standIn));
        return *versions_.back();
    }

    void TearDown() override {
        HostBinding::TearDown();
        for (const auto& standIn : versions_) {
            EXPECT_EQ(standIn->Run(L"/UnregServer"), 0u);
        }
    }

    std::vector<std::unique_ptr<StandInControl>> versions_;
};

// The default value of a key under HKEY_CLASSES_ROOT in one registry view; empty where none.
std::wstring ClassesValue(const std::wstring& path, REGSAM view = 0) {
    return tamrick::RegistryDefaultString(HKEY_CLASSES_ROOT, path, view).value_or(L"");
}

TEST_F(HostVersions, X3IsOpenedAsItselfWhateverElseIsRegisteredAndWithoutItIs429) {
    const auto& x7 = Version(17);
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"C:\\Corel\\Draw\\GMS\\");
    ReleaseAndWaitForExit(*host);
    EXPECT_EQ(StandIn().LoggedCalls().front(), L"Application\tcreate");

    ASSERT_EQ(StandIn().Run(L"/UnregServer"), 0u);
    struct Reregister {
        ~Reregister() { EXPECT_EQ(StandIn().Run(L"/RegServer"), 0u); }
    } reregister;
    EXPECT_EQ(tamrick::FindInstalledHosts(std::vector<int>{13, 17}), (std::vector<int>{17}));
    const std::unique_ptr<tamrick::Host> without = MakeComHost();
    EXPECT_EQ(FailureOf([&] { without->Open(); }).number, tamrick::kErrCantCreateObject);
    // No connection, so every later call fails too, without reaching for a host.
    EXPECT_THROW(without->SetInvisible(), Error);
    without->Release();
    EXPECT_TRUE(x7.LoggedCalls().empty()) << "another version stood in for X3";
}

TEST_F(HostVersions, AHostOfTheOtherWidthIsFoundInTheOtherRegistryViewAndStarted) {
    if (sizeof(void*) == 4 && !std::filesystem::exists(OtherWidthStandIn())) {
        FAIL() << "the x86_64 build's stand-in is missing (" << ToUtf8(OtherWidthStandIn())
               << "): build the mingw-x86_64 preset before this suite";
    }
    // Its class key is in the other view only.
    const auto& x8 = Version(18, true);
    const std::wstring classKey = L"CLSID\\{5A110012-2109-4B5D-BC63-17AE8914E384}";
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    ASSERT_EQ(ClassesValue(classKey), L"") << "the class is in this program's view";
    ASSERT_NE(ClassesValue(classKey, otherView), L"");

    EXPECT_EQ(tamrick::FindInstalledHosts(std::vector<int>{18}), (std::vector<int>{18}));
    const std::unique_ptr<tamrick::Host> host = MakeComHost(18);
    host->Open();
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"C:\\V18\\GMS\\");
    ReleaseAndWaitForExit(*host);
    EXPECT_EQ(x8.LoggedCalls().front(), L"18\tApplication\tcreate");
}

// Last in this program: a host that crashed while serving stays registered in Wine's services,
// and its test's run restarts the prefix's wineserver afterwards.
using HostGone = HostBinding;

TEST_F(HostGone, AHostThatDiesInsideACallFailsWithTheSystemsDescriptionAndStaysGone) {
    StandIn().WriteConfig(std::wstring(kFolders) + L"crash=ImportWorkspace\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    const HostFailure inside = FailureOf([&] { host->ImportWorkspace(L"C:\\a.xml"); });
    EXPECT_FALSE(inside.description.empty());
    EXPECT_EQ(inside.description.find(L"0x"), std::wstring::npos)
        << "no system text: " << ToUtf8(inside.description);
    EXPECT_NE(inside.number, tamrick::kErrCantCreateObject);
    EXPECT_TRUE(StandInProcesses().empty());
    // Between calls, the host is still gone.
    const HostFailure after = FailureOf([&] { host->SetInvisible(); });
    EXPECT_FALSE(after.description.empty());
    host->Release();
}

} // namespace

int main(int argc, char** argv) {
    const tamrick::ComApartment apartment;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
