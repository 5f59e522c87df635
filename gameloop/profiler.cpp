#include "gameloop/profiler.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstdio>

void Profiler::AddSince(ProfileBucket bucket, uint64_t start) {
    uint64_t micros = (plat::Clock::Timestamp() - start) / 1000;
    uint32_t& counter = counters_[size_t(bucket)];
    counter = uint32_t(std::min<uint64_t>(uint64_t(counter) + micros, UINT32_MAX));
}

void Profiler::Report(uint64_t now) {
    for (size_t i = 0; i < kCounterCount; ++i) {
        totals_[i] += counters_[i];
        maxima_[i] = std::max(maxima_[i], counters_[i]);
    }
    ++frames_;
    uint64_t elapsed = (now - lastReport_) / 1000;
    if (elapsed > kReportPeriod) {
        for (size_t i = 0; i < kCounterCount; ++i) {
            averages_[i] = uint32_t(totals_[i] / frames_);
            shares_[i] = uint32_t(totals_[i] * 100 / elapsed);
        }
        totals_.fill(0);
        maxima_.fill(0);
        framesLastPeriod_ = frames_;
        frames_ = 0;
        lastReport_ = now;
    }

    lastFrame_ = counters_;
}

std::vector<std::string> Profiler::StatsLines() const {
    auto figures = [this](ProfileBucket b, const char* name) {
        size_t i = size_t(b);
        char text[96];
        std::snprintf(text, sizeof text, "%s %06u/%06u/%06u/%03u%%", name, lastFrame_[i], averages_[i],
                      maxima_[i], shares_[i]);
        return std::string(text);
    };
    std::vector<std::string> lines;
    lines.push_back(figures(ProfileBucket::StateChange, "StateChange") + " " +
                    figures(ProfileBucket::CityG, "CityG"));
    lines.push_back(figures(ProfileBucket::Vehicles, "Vehicles"));
    lines.push_back(figures(ProfileBucket::PrivateCars, "E_PRIVATECAR_TIME"));
    lines.push_back(figures(ProfileBucket::Effects, "Effects") + " " +
                    figures(ProfileBucket::Production, "Production"));
    lines.push_back(figures(ProfileBucket::World, "World") + " " + figures(ProfileBucket::Script, "Script") +
                    " " + figures(ProfileBucket::Players, "Players"));
    lines.push_back(figures(ProfileBucket::Gimmick, "Gimmick") + "  " +
                    figures(ProfileBucket::Brandung, "Brandung") + "  " +
                    figures(ProfileBucket::Firework, "Firework"));
    // The whole world update: this frame, the average frame, its share.
    uint64_t frame = 0, average = 0, share = 0;
    for (size_t i = 0; i < kCounterCount; ++i) {
        frame += lastFrame_[i];
        average += averages_[i];
        share += shares_[i];
    }
    char text[96];
    std::snprintf(text, sizeof text, "Slice: %06llu/%06llu/%03llu%%.", static_cast<unsigned long long>(frame),
                  static_cast<unsigned long long>(average), static_cast<unsigned long long>(share));
    lines.push_back(text);
    std::snprintf(text, sizeof text, "World frame rate %06u/%06u.", framesLastPeriod_, frames_);
    lines.push_back(text);
    return lines;
}
