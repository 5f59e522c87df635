// The world loop's profiler: elapsed time per stretch of the loop within
// one frame, with running averages, maxima and shares per report period,
// formatted as statistics lines for the developer overlay.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class ProfileBucket : uint32_t {
    StateChange = 0,
    CityG,
    Vehicles,
    PrivateCars,
    Effects,
    Gimmick,
    Production,
    World,
    Script,
    Players,
    Brandung,
    Firework,
};

class Profiler {
public:
    static constexpr size_t kCounterCount = 45;
    // Microseconds between reports.
    static constexpr uint64_t kReportPeriod = 1000000;

    // Adds the time since start (a plat::Clock timestamp) to a bucket.
    void AddSince(ProfileBucket bucket, uint64_t start);
    uint32_t Counter(ProfileBucket bucket) const { return counters_[size_t(bucket)]; }
    // Sets every counter of the frame to 0.
    void ClearCounters() { counters_.fill(0); }
    // Accumulates the frame's counters into the report period's figures.
    void Report(uint64_t now);
    // The statistics lines of the last reported frame: per bucket its value
    // in the frame, its average per frame and its share of the last period,
    // and its maximum in the current one; then the whole update's figures
    // and the frames of the last period and of the current one.
    std::vector<std::string> StatsLines() const;

private:
    std::array<uint32_t, kCounterCount> counters_{};
    // The counters of the last reported frame.
    std::array<uint32_t, kCounterCount> lastFrame_{};
    std::array<uint64_t, kCounterCount> totals_{};
    std::array<uint32_t, kCounterCount> maxima_{};
    std::array<uint32_t, kCounterCount> averages_{};
    std::array<uint32_t, kCounterCount> shares_{};
    uint32_t frames_ = 0;
    // Frames of the last whole report period.
    uint32_t framesLastPeriod_ = 0;
    uint64_t lastReport_ = 0;
};
