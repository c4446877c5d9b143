#pragma once
// A host that is starting, or showing one of its dialogs, turns calls away for a while. Such a
// call is tried again until the host takes it, up to a limit; every other result stands.

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace tamrick {

// How long a call that the host turns away is tried again, from its first refusal. A host of
// its era on an old machine can take tens of seconds to start.
inline constexpr std::chrono::milliseconds kHostBusyLimit{60000};
// The pause between two tries.
inline constexpr std::chrono::milliseconds kHostBusyRetryDelay{250};

// RPC_E_CALL_REJECTED and RPC_E_SERVERCALL_RETRYLATER: what a busy server's channel answers.
inline constexpr std::int32_t kHostCallRejected = static_cast<std::int32_t>(0x80010001u);
inline constexpr std::int32_t kHostCallRetryLater = static_cast<std::int32_t>(0x8001010Au);

constexpr bool IsBusyRefusal(std::int32_t result) {
    return result == kHostCallRejected || result == kHostCallRetryLater;
}

// The time and the pause between tries, so that a test runs a minute of refusals in no time.
class RetryClock {
  public:
    virtual ~RetryClock() = default;
    virtual std::chrono::steady_clock::time_point Now() = 0;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

// Makes the call (`attempt` returns its HRESULT) until the host takes it or has turned it away
// for `limit`; returns the last result.
template <class Attempt>
std::int32_t CallWhileBusy(Attempt&& attempt, RetryClock& clock,
                           std::chrono::milliseconds limit = kHostBusyLimit) {
    auto result = static_cast<std::int32_t>(attempt());
    if (!IsBusyRefusal(result)) {
        return result;
    }
    const std::chrono::steady_clock::time_point firstRefusal = clock.Now();
    for (;;) {
        const auto waited = clock.Now() - firstRefusal;
        if (waited >= limit) {
            return result;
        }
        // Never past the limit, and never a pause of nothing that a coarse clock can't see.
        clock.Pause(std::min(kHostBusyRetryDelay,
                             std::chrono::ceil<std::chrono::milliseconds>(limit - waited)));
        result = static_cast<std::int32_t>(attempt());
        if (!IsBusyRefusal(result)) {
            return result;
        }
    }
}

} // namespace tamrick
