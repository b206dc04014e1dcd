// Frame-time ring and its summary.
#include "app/frame_stats.h"

#include <algorithm>

void recordFrameTime(FrameStats& stats, float milliseconds) {
    stats.frameMs[stats.recorded % FrameStatsCapacity] = milliseconds;
    ++stats.recorded;
}

FrameSummary summarizeFrameTimes(FrameStats& stats) {
    uint32_t held = std::min(stats.recorded, FrameStatsCapacity);
    if (held == 0) return {0, 0.0f, 0.0f, 0.0f};
    std::sort(stats.frameMs, stats.frameMs + held);
    // Nearest rank: the smallest time that at least p percent of the frames do not exceed.
    auto rank = [held](uint32_t percent) { return (uint64_t(held) * percent + 99) / 100 - 1; };
    float median = held % 2 ? stats.frameMs[held / 2] : 0.5f * (stats.frameMs[held / 2 - 1] + stats.frameMs[held / 2]);
    return {stats.recorded, median, stats.frameMs[rank(99)], stats.frameMs[held - 1]};
}
