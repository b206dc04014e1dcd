// Frame-time figures for the log at exit: how many frames were presented and how long they took,
// so that a user or a bug report can tell how the client ran. Fixed storage: recording allocates
// nothing.
#pragma once
#include <cstdint>

constexpr uint32_t FrameStatsCapacity = 1 << 16;  // the last ~18 minutes at 60 frames a second

struct FrameStats {
    float frameMs[FrameStatsCapacity];  // a ring of the most recent frame times
    uint32_t recorded;                  // frames recorded in all, past the ring's size too
};

void recordFrameTime(FrameStats& stats, float milliseconds);

struct FrameSummary {
    uint32_t frames;      // frames recorded in all
    float medianMs;       // over the frames still held
    float percentile99Ms;
    float longestMs;      // the slowest frame held: a stall shows here when the percentiles hide it
};

// Sorts the held times in place; zeros when nothing was recorded.
FrameSummary summarizeFrameTimes(FrameStats& stats);
