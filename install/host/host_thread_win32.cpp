#include "host_thread_win32.h"

#include "base/error.h"
#include "base/handles.h"
#include "base/system_error.h"
#include "install/host/com_support.h"

#include <atomic>
#include <exception>
#include <memory>
#include <utility>

namespace tamrick {
namespace {

UniqueHandle MakeEvent() {
    UniqueHandle event{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    if (!event) {
        ThrowLastError();
    }
    return event;
}

// What the caller and the host's thread share; it outlives whichever of them ends first. The
// caller hands over one call at a time and touches the host only through it.
struct Channel {
    std::unique_ptr<Host> host;
    HostCallWait wait;
    std::function<void(Host&)> call;
    std::exception_ptr failure;
    UniqueHandle callReady = MakeEvent();
    UniqueHandle callDone = MakeEvent();
    bool pending = false; // the caller's thread only
    std::atomic<bool> ending{false};
};

void Serve(const std::shared_ptr<Channel>& channel) {
    {
        const ComApartment apartment(ComApartment::Model::MultiThreaded);
        for (;;) {
            WaitForSingleObject(channel->callReady.get(), INFINITE);
            if (channel->ending) {
                break;
            }
            try {
                channel->call(*channel->host);
            } catch (...) {
                channel->failure = std::current_exception();
            }
            SetEvent(channel->callDone.get());
        }
        channel->host.reset();
    }
    SetEvent(channel->callDone.get());
}

// The thread's own reference to the channel comes with it. A Win32 thread rather than
// std::thread: the C++ library's threads bring its system_error machinery, a good part of the
// installer's size.
DWORD WINAPI ServeThread(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Channel>> channel(
        static_cast<std::shared_ptr<Channel>*>(parameter));
    Serve(*channel);
    return 0;
}

class HostOnThread final : public Host {
  public:
    HostOnThread(std::unique_ptr<Host> host, HostCallWait wait)
        : channel_(std::make_shared<Channel>()) {
        channel_->host = std::move(host);
        channel_->wait = std::move(wait);
        auto reference = std::make_unique<std::shared_ptr<Channel>>(channel_);
        const UniqueHandle thread{
            CreateThread(nullptr, 0, &ServeThread, reference.get(), 0, nullptr)};
        if (!thread) {
            ThrowLastError();
        }
        static_cast<void>(reference.release()); // the thread owns it now, and runs on by itself
    }
    HostOnThread(const HostOnThread&) = delete;
    HostOnThread& operator=(const HostOnThread&) = delete;

    ~HostOnThread() override {
        channel_->ending = true;
        SetEvent(channel_->callReady.get());
        // Idle, the thread releases the host now. With a call pending the program is ending,
        // and a hung host must not hold it up.
        if (!channel_->pending) {
            WaitForSingleObject(channel_->callDone.get(), INFINITE);
        }
    }

    void Open() override {
        Run([](Host& host) { host.Open(); });
    }
    void SetInvisible() override {
        Run([](Host& host) { host.SetInvisible(); });
    }
    std::optional<std::wstring> ResolveFolder(const std::wstring& key) override {
        std::optional<std::wstring> folder;
        Run([&](Host& host) { folder = host.ResolveFolder(key); });
        return folder;
    }
    void ImportWorkspace(const std::wstring& path) override {
        Run([&](Host& host) { host.ImportWorkspace(path); });
    }
    void Release() noexcept override {
        if (channel_->pending) {
            return;
        }
        // Not through the caller's wait: releasing is quick, and nothing may run meanwhile.
        channel_->call = [](Host& host) { host.Release(); };
        SetEvent(channel_->callReady.get());
        WaitForSingleObject(channel_->callDone.get(), INFINITE);
    }

  private:
    void Run(std::function<void(Host&)> call) {
        // `wait` may end this object; the channel stays for as long as this call needs it.
        const std::shared_ptr<Channel> channel = channel_;
        channel->call = std::move(call);
        channel->failure = nullptr;
        channel->pending = true;
        SetEvent(channel->callReady.get());
        const HostCallWait wait = channel->wait;
        wait(channel->callDone.get());
        if (channel->ending) {
            throw Error(kErrObjectNotSet, L"与 CorelDRAW 的连接已关闭。");
        }
        channel->pending = false;
        if (channel->failure) {
            std::rethrow_exception(channel->failure);
        }
    }

    std::shared_ptr<Channel> channel_;
};

} // namespace

std::unique_ptr<Host> MakeHostOnThread(std::unique_ptr<Host> host, HostCallWait wait) {
    return std::make_unique<HostOnThread>(std::move(host), std::move(wait));
}

} // namespace tamrick
