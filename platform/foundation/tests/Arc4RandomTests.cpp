#include "platform/foundation/arc4random.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<std::uint32_t> draw(int n) {
    std::vector<std::uint32_t> values;
    for (int i = 0; i < n; ++i) values.push_back(::arc4random());
    return values;
}

struct RandomSourceTest : ::testing::Test {
    void TearDown() override { PlatformRandom::setSource({}); }
};
} // namespace

TEST_F(RandomSourceTest, TheCLibraryCallDrawsFromTheSourceTestsSet) {
    std::vector<std::uint32_t> script{5, 25005, 7};
    std::size_t next = 0;
    int calls = 0;
    PlatformRandom::setSource([&] {
        ++calls;
        return script[next++ % script.size()];
    });
    EXPECT_EQ(draw(3), script);

    PlatformRandom::seed(26);
    auto first = draw(4);
    PlatformRandom::seed(26);
    EXPECT_EQ(draw(4), first);
    PlatformRandom::seed(27);
    EXPECT_NE(draw(4), first);

    // Without a source the system's generator answers; the scripted one is no longer asked.
    PlatformRandom::setSource({});
    draw(2);
    EXPECT_EQ(calls, 3);
}
