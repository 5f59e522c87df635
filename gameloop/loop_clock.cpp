#include "gameloop/loop_clock.h"

#include "files/chunk_stream.h"
#include "gameloop/game_log.h"
#include "platform/endian.h"
#include "world/game_clock.h"

#include <algorithm>
#include <bit>
#include <cstring>

void FrameClock::Advance(uint32_t ms) {
    float scaled = float(ms) * speed_ + carry_;
    uint32_t whole = uint32_t(scaled);
    carry_ = scaled - float(whole);
    // The time stops at the clock's largest, as the world's clock does.
    time_ = uint32_t(std::min<uint64_t>(uint64_t(time_) + whole, kLargestGameTime));
}

bool FrameClock::Serialize() {
    uint8_t bytes[20];
    plat::StoreLE32(bytes, time_);
    plat::StoreLE64(bytes + 4, ticks_);
    plat::StoreLE32(bytes + 12, std::bit_cast<uint32_t>(speed_));
    plat::StoreLE32(bytes + 16, std::bit_cast<uint32_t>(carry_));
    if (TransferSized(bytes, sizeof bytes) != 4 + sizeof bytes)
        return false;
    if (StreamMode() == kStreamLoad) {
        time_ = plat::LoadLE32(bytes);
        ticks_ = plat::LoadLE64(bytes + 4);
        speed_ = std::bit_cast<float>(plat::LoadLE32(bytes + 12));
        carry_ = std::bit_cast<float>(plat::LoadLE32(bytes + 16));
        if (!(speed_ >= 0.0f && speed_ <= 100.0f) || !(carry_ >= 0.0f && carry_ < 1.0f))
            return false;
        if (time_ > kLargestGameTime) {
            GameLog("saved game: the clock's game time of %u ms is past its largest, %u ms", time_,
                    kLargestGameTime);
            return false;
        }
    }
    return true;
}
