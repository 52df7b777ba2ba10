#include "channels/ChannelData.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace registrator::channels;

namespace {

// History indexes had no check at all: a wrong channel or slot read or wrote some other channel's
// slot, or past the table, without a sign.
TEST(TokHistory, AWrongChannelOrSlotFailsLoudlyAndSlotsPastTheRingReadZero) {
    ChannelData data;
    data.TokHistory.CheckedAt(72, 2999).Value = 7;
    EXPECT_EQ(data.TokHistory.CheckedRead(72, 2999).Value, 7);
    EXPECT_EQ(data.TokHistory.CheckedRead(1, 0).Value, 0);
    for (int index : {3000, 3001, 65000}) {
        EXPECT_EQ(data.TokHistory.CheckedRead(72, index).Value, 0) << index;
        EXPECT_EQ(data.TokHistory.CheckedRead(72, index).Time, 0) << index;
    }

    for (const auto& [channel, index] : {std::pair{0, 0}, {73, 0}, {1, -1}, {1, 3000}})
        EXPECT_THROW(data.TokHistory.CheckedAt(channel, index), std::out_of_range) << channel << ' ' << index;
    for (const auto& [channel, index] : {std::pair{0, 0}, {73, 0}, {1, -1}, {1, 65001}})
        EXPECT_THROW(data.TokHistory.CheckedRead(channel, index), std::out_of_range)
            << channel << ' ' << index;
#ifndef NDEBUG
    EXPECT_DEATH(data.TokHistory.At(73, 0), "");
    data.TokIndex = 3000;
    EXPECT_DEATH(data.Current(1), "");
#endif
}

} // namespace
