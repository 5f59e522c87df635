#include "platform/input_time.h"

#include "platform/clock.h"

#include <atomic>

namespace plat {
namespace {

std::atomic<uint64_t>& LastInput() {
    static std::atomic<uint64_t> last{Clock::Timestamp()};
    return last;
}

// Taken at static set-up, so that the time before any input counts from
// program start rather than from the first question.
[[maybe_unused]] const bool started = (LastInput(), true);

} // namespace

uint64_t LastInputTimestamp() {
    return LastInput().load(std::memory_order_relaxed);
}

void NoteInput(uint64_t timestamp) {
    LastInput().store(timestamp, std::memory_order_relaxed);
}

} // namespace plat
