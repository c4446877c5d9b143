#include "install/host/host_busy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

using namespace tamrick;
using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::ElementsAre;

namespace {

constexpr std::int32_t kOk = 0;
constexpr auto kServerUnavailable = static_cast<std::int32_t>(0x800706BAu);

// Time moves only when the code under test pauses, or when a try says it took a while.
class FakeClock final : public RetryClock {
  public:
    std::chrono::steady_clock::time_point Now() override { return now; }
    void Pause(std::chrono::milliseconds duration) override {
        pauses.push_back(duration);
        now += duration;
    }

    std::chrono::steady_clock::time_point now{};
    std::vector<std::chrono::milliseconds> pauses;
};

// A host that answers from a script, one result a try, and records when each try came.
struct ScriptedHost {
    ScriptedHost(FakeClock& c, std::vector<std::int32_t> r) : clock(c), results(std::move(r)) {}

    std::int32_t operator()() {
        tries.push_back(clock.now - std::chrono::steady_clock::time_point{});
        clock.now += tryTakes;
        const std::int32_t result = results[std::min(next, results.size() - 1)];
        ++next;
        return result;
    }

    FakeClock& clock;
    std::vector<std::int32_t> results; // the last one repeats
    std::chrono::milliseconds tryTakes{0};
    std::size_t next = 0;
    std::vector<std::chrono::nanoseconds> tries;
};

// An answer that is no refusal stands after one try.
TEST(HostBusy, ARefusedCallIsTriedAgainUntilTheHostTakesItOrFails) {
    const struct {
        std::vector<std::int32_t> script;
        std::int32_t result;
        std::size_t tries; // each after a pause
    } kScripts[] = {
        {{kOk}, kOk, 1},
        {{kServerUnavailable}, kServerUnavailable, 1},
        {{static_cast<std::int32_t>(0x80004005u)}, static_cast<std::int32_t>(0x80004005u), 1},
        {{static_cast<std::int32_t>(0x80010108u)}, static_cast<std::int32_t>(0x80010108u), 1},
        {{kHostCallRejected, kHostCallRetryLater, kHostCallRejected, kOk, kHostCallRejected},
         kOk,
         4},
        // A host that dies while it is busy is gone, not busy.
        {{kHostCallRejected, kServerUnavailable, kOk}, kServerUnavailable, 2},
    };
    for (const auto& s : kScripts) {
        FakeClock clock;
        ScriptedHost host(clock, s.script);
        EXPECT_EQ(CallWhileBusy(host, clock), s.result);
        EXPECT_EQ(host.tries.size(), s.tries);
        EXPECT_EQ(clock.pauses, std::vector(s.tries - 1, kHostBusyRetryDelay));
    }
}

TEST(HostBusy, AHostBusyForLongerThanTheLimitGivesUpWithTheRefusalAtTheLimit) {
    for (const std::int32_t refusal : {kHostCallRejected, kHostCallRetryLater}) {
        FakeClock clock;
        ScriptedHost host(clock, {refusal});
        EXPECT_EQ(CallWhileBusy(host, clock), refusal);
        EXPECT_EQ(clock.now - std::chrono::steady_clock::time_point{}, kHostBusyLimit);
        // One try at the start, one after each pause, the last one at the limit itself.
        EXPECT_EQ(host.tries.size(),
                  1u + static_cast<std::size_t>(kHostBusyLimit / kHostBusyRetryDelay));
        EXPECT_EQ(host.tries.back(), kHostBusyLimit);
        EXPECT_THAT(clock.pauses, Each(kHostBusyRetryDelay));
    }
}

TEST(HostBusy, TheLimitCountsFromTheFirstRefusalAndTheTriesCountAgainstIt) {
    FakeClock clock;
    ScriptedHost host(clock, {kHostCallRejected});
    // A host that takes 50 s to refuse the first time, and 1 s for each refusal after.
    host.tryTakes = 50s;
    const auto slowFirst = [&] {
        const std::int32_t result = host();
        host.tryTakes = 1s;
        return result;
    };
    EXPECT_EQ(CallWhileBusy(slowFirst, clock), kHostCallRejected);
    const auto elapsed = clock.now - std::chrono::steady_clock::time_point{};
    EXPECT_GE(elapsed, 50s + kHostBusyLimit);
    EXPECT_LT(elapsed, 50s + kHostBusyLimit + 1s + kHostBusyRetryDelay);
    EXPECT_EQ(host.tries.size(), 1u + 48u) << "each try after the first takes 1.25 s of the 60 s";
}

TEST(HostBusy, TheLastPauseStopsAtTheLimitAndALimitOfNothingMakesOneTry) {
    const struct {
        std::chrono::milliseconds limit;
        std::vector<std::chrono::milliseconds> pauses;
    } kLimits[] = {{600ms, {250ms, 250ms, 100ms}}, {0ms, {}}};
    for (const auto& l : kLimits) {
        FakeClock clock;
        ScriptedHost host(clock, {kHostCallRejected, kHostCallRejected, kHostCallRejected,
                                  kHostCallRejected, kOk});
        EXPECT_EQ(CallWhileBusy(host, clock, l.limit), kHostCallRejected);
        EXPECT_EQ(clock.pauses, l.pauses);
        EXPECT_EQ(clock.now - std::chrono::steady_clock::time_point{}, l.limit);
    }
}

} // namespace
