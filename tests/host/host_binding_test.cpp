// The COM binding against the stand-in host, in a Wine prefix of the build's own: what the
// caller gets back, and what the host was asked (the stand-in's log).

#include "base/error.h"
#include "driver/driver.h"
#include "install/host/com_support.h"
#include "install/host/host.h"
#include "tests/support/standin_control.h"
#include "tools/standin/standin.h"
#include "tools/standin/utf8.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace {

using standin::FromUtf8;
using standin::ToUtf8;
using tamrick::Error;
using tamrick::MakeComHost;
using tamrick::test::EndedByThemselves;
using tamrick::test::StandInProcesses;

std::wstring TestFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tamrick-host\\";
}

const tamrick::test::StandInControl& StandIn() {
    static const tamrick::test::StandInControl standIn(
        tamrick::driver::FromUnixPath(TAMRICK_STANDIN_PATH).wstring(), TestFolder());
    return standIn;
}

DWORD RunStandIn(const std::wstring& arguments) {
    return StandIn().Run(arguments);
}
void WriteConfig(std::wstring_view text) {
    StandIn().WriteConfig(text);
}
std::vector<std::wstring> LoggedCalls() {
    return StandIn().LoggedCalls();
}
// A server whose client died stays running, and the next activation would attach to it.
void EndStandIns() {
    tamrick::test::QuitStandIns();
}

// Releases the connection and waits until the host has ended, so that its log is complete.
void ReleaseAndWaitForExit(tamrick::Host& host) {
    const std::vector<standin::UniqueHandle> running = StandInProcesses();
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
        EndStandIns();
        ASSERT_TRUE(StandIn().Install());
    }

    void SetUp() override {
        EndStandIns();
        StandIn().ClearLog();
        WriteConfig(kFolders);
    }

    void TearDown() override { EndStandIns(); }
};

TEST_F(HostBinding, DrivesTheHostAndLetsItEndOnRelease) {
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    host->SetSwitch();
    EXPECT_EQ(host->ResolveFolder(L"userdatapath"), L"C:\\users\\演示\\Corel\\Draw\\");
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"C:\\Corel\\Draw\\GMS\\");
    EXPECT_EQ(host->ResolveFolder(L"usergmspath"), L"C:\\users\\演示\\Corel\\GMS\\");
    EXPECT_EQ(host->ResolveFolder(L"applicationpath"), L"C:\\Corel\\Programs\\");
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
    EXPECT_EQ(LoggedCalls(), expected);
}

TEST_F(HostBinding, FolderStringsComeBackExactlyAsTheHostGivesThem) {
    WriteConfig(L"path=C:\\Corel\\Programs\n"
                L"gmspath=\n"
                L"usergmspath=D:\\GMS folder \n"
                L"userdatapath=relative\\\\twice\\\\\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    EXPECT_EQ(host->ResolveFolder(L"applicationpath"), L"C:\\Corel\\Programs");
    EXPECT_EQ(host->ResolveFolder(L"gmspath"), L"");
    EXPECT_EQ(host->ResolveFolder(L"usergmspath"), L"D:\\GMS folder ");
    EXPECT_EQ(host->ResolveFolder(L"userdatapath"), L"relative\\\\twice\\\\");
    host->Release();
}

TEST_F(HostBinding, AnUnrecognisedKeyAsksTheHostForNothing) {
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    for (const wchar_t* key :
         {L"importworkspace", L"GMSPath", L"gmspath ", L" userdatapath", L"", L"path"})
        EXPECT_EQ(host->ResolveFolder(key), std::nullopt) << ToUtf8(key);
    ReleaseAndWaitForExit(*host);
    EXPECT_EQ(LoggedCalls(),
              (std::vector<std::wstring>{L"Application\tcreate", L"CorelDRW.exe\texit"}));
}

TEST_F(HostBinding, WithoutTheTypeLibraryTheMembersAreStillCalledByName) {
    ASSERT_EQ(UnRegisterTypeLib(standin::kTypeLibId, standin::kTypeLibMajor, standin::kTypeLibMinor,
                                LOCALE_NEUTRAL, standin::kSysKind),
              S_OK);
    struct Reregister {
        ~Reregister() {
            EndStandIns();
            EXPECT_EQ(RunStandIn(L"/RegServer"), 0u);
        }
    } reregister;
    {
        // The object now refuses its own interface across the process boundary.
        Microsoft::WRL::ComPtr<IUnknown> direct;
        EXPECT_EQ(CoCreateInstance(tamrick::kHostApplicationClsid, nullptr, CLSCTX_LOCAL_SERVER,
                                   tamrick::kHostApplicationIid, &direct),
                  E_NOINTERFACE);
    }
    EndStandIns();
    StandIn().ClearLog();

    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();
    host->SetSwitch();
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
    EXPECT_EQ(LoggedCalls(), expected);
}

TEST_F(HostBinding, AHostThatCannotBeCreatedIsError429) {
    {
        WriteConfig(std::wstring(kFolders) + L"refusecreation=0x80004005\n");
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
        EXPECT_EQ(LoggedCalls(),
                  (std::vector<std::wstring>{L"Application\tcreate\trefused\t0x80004005",
                                             L"CorelDRW.exe\texit"}));
    }
    {
        EndStandIns();
        ASSERT_EQ(RunStandIn(L"/UnregServer"), 0u);
        struct Reregister {
            ~Reregister() { EXPECT_EQ(RunStandIn(L"/RegServer"), 0u); }
        } reregister;
        const std::unique_ptr<tamrick::Host> host = MakeComHost();
        try {
            host->Open();
            ADD_FAILURE() << "an unregistered host opened";
        } catch (const Error& error) {
            EXPECT_EQ(error.number(), tamrick::kErrCantCreateObject);
        }
        // No connection, so every later call fails too, without reaching for a host.
        EXPECT_THROW(host->SetSwitch(), Error);
        host->Release();
    }
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
    WriteConfig(std::wstring(kFolders) + L"fail=GMSPath,1004,宏文件夹不可用, 请重新安装\n"
                                         L"fail=ImportWorkspace,0x800A0035,Workspace missing\n"
                                         L"fail=Path,0x80041234,\n"
                                         L"fail=Visible,0x80070005,\n");
    const std::unique_ptr<tamrick::Host> host = MakeComHost();
    host->Open();

    const HostFailure numbered = FailureOf([&] { host->ResolveFolder(L"gmspath"); });
    EXPECT_EQ(numbered.number, 1004);
    EXPECT_EQ(numbered.description, L"宏文件夹不可用, 请重新安装");

    // Basic-style HRESULTs carry their number in the low word.
    const HostFailure basic = FailureOf([&] { host->ImportWorkspace(L"C:\\a.cdws"); });
    EXPECT_EQ(basic.number, 53);
    EXPECT_EQ(basic.description, L"Workspace missing");

    // Without a description, the system's text, or the code itself where there is none.
    const HostFailure bare = FailureOf([&] { host->ResolveFolder(L"applicationpath"); });
    EXPECT_EQ(bare.number, static_cast<std::int32_t>(0x80041234));
    EXPECT_NE(bare.description.find(L"0x80041234"), std::wstring::npos);
    const HostFailure denied = FailureOf([&] { host->SetSwitch(); });
    EXPECT_EQ(denied.number, static_cast<std::int32_t>(E_ACCESSDENIED));
    EXPECT_EQ(denied.description, tamrick::DescribeHresult(E_ACCESSDENIED));
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

} // namespace

int main(int argc, char** argv) {
    const tamrick::ComApartment apartment;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
