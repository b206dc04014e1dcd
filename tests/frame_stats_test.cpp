// Frame-time figures written to the log at exit.
#include <gtest/gtest.h>

#include <memory>

#include "app/frame_stats.h"

TEST(FrameStats, NothingRecordedGivesZeros) {
    auto stats = std::make_unique<FrameStats>();
    FrameSummary summary = summarizeFrameTimes(*stats);
    EXPECT_EQ(summary.frames, 0u);
    EXPECT_EQ(summary.medianMs, 0.0f);
}

TEST(FrameStats, MedianAndNinetyNinthPercentileOfHeldFrames) {
    struct Case {
        int frames;
        float median, percentile99;
    };
    // Frame i (1-based) takes i ms, recorded in reverse so the order does not matter.
    for (Case c : {Case{1, 1, 1}, Case{2, 1.5f, 2}, Case{100, 50.5f, 99}, Case{101, 51, 100}, Case{1000, 500.5f, 990}}) {
        auto stats = std::make_unique<FrameStats>();
        for (int i = c.frames; i >= 1; --i) recordFrameTime(*stats, float(i));
        FrameSummary summary = summarizeFrameTimes(*stats);
        EXPECT_EQ(summary.frames, uint32_t(c.frames));
        EXPECT_FLOAT_EQ(summary.medianMs, c.median) << c.frames << " frames";
        EXPECT_FLOAT_EQ(summary.percentile99Ms, c.percentile99) << c.frames << " frames";
        EXPECT_FLOAT_EQ(summary.longestMs, float(c.frames)) << c.frames << " frames";
    }
}

TEST(FrameStats, ALongRunKeepsCountingButSummarisesTheLatestFrames) {
    auto stats = std::make_unique<FrameStats>();
    for (uint32_t i = 0; i < FrameStatsCapacity; ++i) recordFrameTime(*stats, 100.0f);  // an early slow stretch
    for (uint32_t i = 0; i < FrameStatsCapacity; ++i) recordFrameTime(*stats, 16.0f);
    FrameSummary summary = summarizeFrameTimes(*stats);
    EXPECT_EQ(summary.frames, 2 * FrameStatsCapacity);
    EXPECT_FLOAT_EQ(summary.medianMs, 16.0f);
    EXPECT_FLOAT_EQ(summary.percentile99Ms, 16.0f);
}
