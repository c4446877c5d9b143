// The forced close of the host under Wine, with real processes: every process with the host's
// image name ends, whatever the case of its name, and no other process does.

#include "base/error.h"
#include "base/handles.h"
#include "driver/driver.h"
#include "install/host_closer_win32.h"
#include "test_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

namespace {

using tamrick::Error;

constexpr DWORD kGenerousWait = 60000;

// A started dummy; ended on the way out if the test left it running.
class Dummy {
  public:
    explicit Dummy(const std::wstring& path) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        std::wstring commandLine = L"\"" + path + L"\"";
        if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                           CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
            const tamrick::UniqueHandle thread(started.hThread);
            process_.reset(started.hProcess);
        }
    }
    ~Dummy() {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), kGenerousWait);
        }
    }
    Dummy(const Dummy&) = delete;
    Dummy& operator=(const Dummy&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    bool EndsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

  private:
    tamrick::UniqueHandle process_;
};

class HostCloser : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = FreshTestFolder();
        for (const wchar_t* sub : {L"a", L"b", L"c"}) {
            ASSERT_TRUE(CreateDirectoryW((folder_ + sub).c_str(), nullptr));
        }
        const std::wstring dummy = (tamrick::driver::OwnFolder() / L"CorelDRW.exe").wstring();
        ASSERT_TRUE(CopyFileW(dummy.c_str(), (folder_ + L"a\\CorelDRW.exe").c_str(), TRUE));
        ASSERT_TRUE(CopyFileW(dummy.c_str(), (folder_ + L"b\\CORELDRW.EXE").c_str(), TRUE));
        ASSERT_TRUE(CopyFileW(dummy.c_str(), (folder_ + L"c\\CorelDRW2.exe").c_str(), TRUE));
        // The bystander first: the closer meets it before the processes it must end, so it
        // has been passed over by the time those are gone.
        other_ = std::make_unique<Dummy>(folder_ + L"c\\CorelDRW2.exe");
        host_ = std::make_unique<Dummy>(folder_ + L"a\\CorelDRW.exe");
        shouting_ = std::make_unique<Dummy>(folder_ + L"b\\CORELDRW.EXE");
        ASSERT_TRUE(host_->Started() && shouting_->Started() && other_->Started());
    }

    std::wstring folder_;
    std::unique_ptr<Dummy> host_;
    std::unique_ptr<Dummy> shouting_;
    std::unique_ptr<Dummy> other_;
};

// Where taskkill is looked for, in the test's folder; empty: the system's. Where it is
// missing, the closer's own worker ends the host.
class HostClosing : public HostCloser, public testing::WithParamInterface<const wchar_t*> {};

TEST_P(HostClosing, EndsEveryHostProcessAndNoOther) {
    const std::wstring taskkill = GetParam();
    tamrick::MakeTaskkillCloser(taskkill.empty() ? taskkill : folder_ + taskkill)
        ->StartClosingHost();

    EXPECT_TRUE(host_->EndsWithin(kGenerousWait));
    EXPECT_TRUE(shouting_->EndsWithin(kGenerousWait));
    EXPECT_TRUE(other_->Running());
}

INSTANTIATE_TEST_SUITE_P(Taskkill, HostClosing,
                         testing::Values(L"", L"no-taskkill.exe", L"missing\\taskkill.exe"));

TEST_F(HostCloser, TaskkillThatCantStartIsAnErrorAndClosesNothing) {
    // A folder where the program should be: there is something, but it won't start.
    const Error e =
        FailureOf([&] { tamrick::MakeTaskkillCloser(folder_ + L"a")->StartClosingHost(); });
    EXPECT_NE(e.number(), 0);
    EXPECT_NE(e.number(), tamrick::kErrCantCreateObject);
    EXPECT_FALSE(e.description().empty());

    EXPECT_TRUE(host_->Running());
    EXPECT_TRUE(shouting_->Running());
}

} // namespace
