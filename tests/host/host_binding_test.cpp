// The COM binding against the stand-in host, in a Wine prefix of the build's own: what the
// caller gets back, and what the host was asked (the stand-in's log).

#include "install/error.h"
#include "install/host/com_support.h"
#include "install/host/host.h"
#include "tools/standin/standin.h"
#include "tools/standin/utf8.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace {

using standin::FromUtf8;
using standin::ToUtf8;
using tamrick::Error;
using tamrick::MakeComHost;

// The build tree's stand-in, seen through Wine's Z: drive.
std::wstring BuiltStandIn() {
    std::wstring path = L"Z:" TAMRICK_STANDIN_PATH;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring TestFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tamrick-host\\";
}

std::wstring StandInPath() {
    return TestFolder() + L"CorelDRW.exe";
}

// Runs the stand-in with a command-line switch and returns its exit code.
DWORD RunStandIn(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + StandInPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return GetLastError();
    const standin::UniqueHandle processHandle{process.hProcess};
    const standin::UniqueHandle threadHandle{process.hThread};
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

// Every running stand-in, opened to wait for it and to end it.
std::vector<standin::UniqueHandle> StandInProcesses() {
    std::vector<standin::UniqueHandle> processes;
    const standin::UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (CompareStringOrdinal(entry.szExeFile, -1, L"CorelDRW.exe", -1, TRUE) != CSTR_EQUAL)
            continue;
        if (HANDLE process =
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID))
            processes.emplace_back(process);
    }
    return processes;
}

// Asks every stand-in to quit (its message loop ends and it revokes its class), and waits
// until it has. Under Wine a killed server's class stays registered, and later activations
// fail, so killing is only the last resort.
bool QuitStandIns(DWORD patience) {
    std::vector<standin::UniqueHandle> processes = StandInProcesses();
    const standin::UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        for (const standin::UniqueHandle& process : processes) {
            if (GetProcessId(process.get()) == entry.th32OwnerProcessID)
                PostThreadMessageW(entry.th32ThreadID, WM_QUIT, 0, 0);
        }
    }
    bool allQuit = true;
    for (const standin::UniqueHandle& process : processes) {
        if (WaitForSingleObject(process.get(), patience) != WAIT_OBJECT_0) {
            allQuit = false;
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), INFINITE);
        }
    }
    return allQuit;
}

// A server whose client died stays running, and the next activation would attach to it.
void EndStandIns() {
    QuitStandIns(10000);
}

// Waits for the given stand-ins to end by themselves; false if one keeps running.
bool EndedByThemselves(const std::vector<standin::UniqueHandle>& processes) {
    bool ended = true;
    for (const standin::UniqueHandle& process : processes)
        ended = WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 && ended;
    return ended;
}

// Releases the connection and waits until the host has ended, so that its log is complete.
void ReleaseAndWaitForExit(tamrick::Host& host) {
    const std::vector<standin::UniqueHandle> running = StandInProcesses();
    host.Release();
    EXPECT_TRUE(EndedByThemselves(running))
        << "the host kept running after its last object was released";
}

void WriteConfig(std::wstring_view text) {
    const std::string bytes = ToUtf8(text);
    const standin::UniqueHandle file{CreateFileW((TestFolder() + L"CorelDRW.ini").c_str(),
                                                 GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// The calls in the stand-in's log, each without its time: "what<TAB>access[<TAB>argument]".
std::vector<std::wstring> LoggedCalls() {
    std::vector<std::wstring> calls;
    const standin::UniqueHandle file{
        CreateFileW((TestFolder() + L"CorelDRW.log").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.get() == INVALID_HANDLE_VALUE)
        return calls;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    const std::wstring text = FromUtf8(bytes);
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find(L"\r\n", start);
        const std::wstring line = text.substr(start, end - start);
        calls.push_back(line.substr(line.find(L'\t') + 1));
        start = end == std::wstring::npos ? text.size() : end + 2;
    }
    return calls;
}

constexpr std::wstring_view kFolders = L"path=C:\\Corel\\Programs\\\n"
                                       L"gmspath=C:\\Corel\\Draw\\GMS\\\n"
                                       L"usergmspath=C:\\users\\演示\\Corel\\GMS\\\n"
                                       L"userdatapath=C:\\users\\演示\\Corel\\Draw\\\n";

class HostBinding : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        EndStandIns();
        CreateDirectoryW(TestFolder().c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(BuiltStandIn().c_str(), StandInPath().c_str(), FALSE))
            << "no stand-in at " << ToUtf8(BuiltStandIn());
        ASSERT_EQ(RunStandIn(L"/RegServer"), 0u);
    }

    void SetUp() override {
        EndStandIns();
        DeleteFileW((TestFolder() + L"CorelDRW.log").c_str());
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
    DeleteFileW((TestFolder() + L"CorelDRW.log").c_str());

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
