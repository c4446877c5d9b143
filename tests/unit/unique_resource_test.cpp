// The owner of every handle: each value is closed exactly once, and a value that means "nothing"
// is never closed.
#include "base/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using tamrick::UniqueResource;

// Like a kernel handle: two values mean "nothing" (0 and -1), and every close is recorded.
struct Recorded {
    using Type = int;
    std::vector<int>* closed = nullptr;
    static Type Empty() noexcept { return 0; }
    static bool IsValid(Type value) noexcept { return value != 0 && value != -1; }
    void Close(Type value) const noexcept { closed->push_back(value); }
};
using Owner = UniqueResource<Recorded>;

class UniqueResourceTest : public testing::Test {
  protected:
    Owner Make(int value) { return Owner(value, Recorded{&closed_}); }
    std::vector<int> closed_;
};

TEST_F(UniqueResourceTest, NeverClosesAValueThatMeansNothing) {
    {
        const Owner failed = Make(-1);
        EXPECT_FALSE(failed);
        const Owner empty = Make(0);
        EXPECT_FALSE(empty);
        Owner reset = Make(3);
        reset.reset(-1);
    }
    EXPECT_EQ(closed_, std::vector<int>{3});
}

TEST_F(UniqueResourceTest, MovingHandsTheValueOverAndClosesWhatTheTargetHeld) {
    Owner a = Make(1);
    Owner b = Make(2);
    b = std::move(a);
    EXPECT_EQ(closed_, std::vector<int>{2});
    EXPECT_FALSE(a); // NOLINT(bugprone-use-after-move): the moved-from owner holds nothing
    EXPECT_EQ(b.get(), 1);
    Owner c(std::move(b));
    EXPECT_EQ(c.get(), 1);
    Owner& same = c;
    c = std::move(same); // moving onto itself keeps the value
    EXPECT_EQ(c.get(), 1);
    EXPECT_EQ(closed_, std::vector<int>{2});
}

TEST_F(UniqueResourceTest, ReleaseGivesTheValueUpAndPutClosesTheOldOneFirst) {
    Owner owner = Make(5);
    EXPECT_EQ(owner.release(), 5);
    EXPECT_FALSE(owner);
    owner.reset(6);
    *owner.put() = 8;
    EXPECT_EQ(owner.get(), 8);
    EXPECT_EQ(closed_, std::vector<int>{6});
}

std::vector<int>& ClosedByFunction() {
    static std::vector<int> closed;
    return closed;
}
void CloseByFunction(int value) noexcept {
    ClosedByFunction().push_back(value);
}

TEST(UniqueValue, ClosesWithItsFunctionAndKnowsItsEmptyValue) {
    ClosedByFunction().clear();
    {
        const tamrick::UniqueValue<int, &CloseByFunction, -1> none(-1);
        const tamrick::UniqueValue<int, &CloseByFunction, -1> zero(0); // a valid descriptor
        EXPECT_FALSE(none);
        EXPECT_TRUE(zero);
    }
    EXPECT_EQ(ClosedByFunction(), std::vector<int>{0});
}

} // namespace
