#include "platform/clock.h"

#include <atomic>
#include <thread>
#include <time.h>

namespace plat {
namespace {

std::atomic<bool> fakeMode{false};
std::atomic<uint32_t> fakeNow{0};

uint64_t MonotonicNanos() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1'000'000'000u + uint64_t(ts.tv_nsec);
}

const uint64_t startNanos = MonotonicNanos();

} // namespace

uint32_t Clock::Millis() {
    if (fakeMode.load(std::memory_order_relaxed))
        return fakeNow.load(std::memory_order_relaxed);
    return uint32_t((MonotonicNanos() - startNanos) / 1'000'000u);
}

uint64_t Clock::Timestamp() {
    return MonotonicNanos();
}

void Clock::Sleep(uint32_t ms) {
    if (fakeMode.load(std::memory_order_relaxed)) {
        Advance(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Clock::UseFake(uint32_t startMs) {
    fakeNow.store(startMs);
    fakeMode.store(true);
}

void Clock::Advance(uint32_t ms) {
    fakeNow.fetch_add(ms);
}

void Clock::UseReal() {
    fakeMode.store(false);
}

bool Clock::IsFake() {
    return fakeMode.load();
}

} // namespace plat
