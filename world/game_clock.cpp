#include "world/game_clock.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "platform/clock.h"
#include "world/world.h"
#include "world/world_services.h"

#include <cmath>

namespace {

constexpr uint32_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

std::unique_ptr<GameClock>& CurrentClock() {
    return CurrentWorld().clock;
}

std::function<std::unique_ptr<GameClock>()>& NetClockFactory() {
    static std::function<std::unique_ptr<GameClock>()> factory;
    return factory;
}

float SaneSpeed(float speed) {
    return std::isfinite(speed) && speed > 0.0f ? speed : 0.0f;
}

} // namespace

bool IsLeapYear(uint32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

uint32_t DaysInMonth(uint32_t month, uint32_t year) {
    if (month >= 12)
        return 0;
    return month == 1 && IsLeapYear(year) ? 29 : kMonthDays[month];
}

GameClock::GameClock() : realStart_(plat::Clock::Millis()) {}

uint32_t GameClock::MonthOf(uint64_t ticks) {
    uint64_t years = ticks / kTicksPerYear;
    return uint32_t(ticks * 12 / kTicksPerYear - years * 12);
}

uint32_t GameClock::YearPartOf(uint64_t ticks) {
    uint64_t years = ticks / kTicksPerYear;
    return uint32_t(ticks * 48 / kTicksPerYear - years * 48);
}

uint32_t GameClock::GetTime() {
    // Both terms are single-precision floats, as every machine of a network
    // game computes them; exact while they stay below 2^24 ms.
    float elapsed = float(uint32_t(plat::Clock::Millis() - realStart_));
    float base = float(baseTime_);
    float scaled = elapsed * speed_;
    float result = scaled + base;
    if (!(result >= 0.0f))
        currentTime_ = 0;
    else if (result >= 4294967295.0f)
        currentTime_ = 0xFFFFFFFFu;
    else
        currentTime_ = uint32_t(result);
    return currentTime_;
}

void GameClock::SetSpeed(float speed) {
    baseTime_ = GetTime();
    realStart_ = plat::Clock::Millis();
    speed_ = SaneSpeed(speed);
}

void GameClock::AddTime(int32_t ms) {
    baseTime_ = GetTime() + uint32_t(ms);
    realStart_ = plat::Clock::Millis();
}

void GameClock::SetYear(uint32_t year) {
    tickCount_ = uint64_t(year > kFirstYear ? year - kFirstYear : 0) * kTicksPerYear;
    const WorldServices& services = Services();
    uint32_t stepTime = services.dateStepTime ? services.dateStepTime() : 0;
    if (currentTime_ < stepTime) {
        currentTime_ = stepTime;
        baseTime_ = stepTime;
    }
}

GameDate GameClock::GetDate() {
    uint64_t t = tickCount_;
    if (cachedTick_ == t)
        return cachedDate_;
    GameDate date;
    date.year = GetCurrentYear();
    uint32_t leap = IsLeapYear(date.year) ? 1 : 0;
    uint64_t daysInYear = 365 + leap;
    uint64_t yearsSinceStart = t / kTicksPerYear;
    uint32_t dayOfYear = uint32_t(daysInYear * t / kTicksPerYear - yearsSinceStart * daysInYear + 1);
    uint32_t month = 0;
    while (month < 11 && dayOfYear > DaysInMonth(month, date.year)) {
        dayOfYear -= DaysInMonth(month, date.year);
        ++month;
    }
    date.day = dayOfYear;
    date.month = month;
    cachedTick_ = t;
    cachedDate_ = date;
    return date;
}

GameClock* CreateGameClock(uint32_t kind) {
    std::unique_ptr<GameClock> clock;
    switch (kind) {
    case 0:
        clock = std::make_unique<GameClock>();
        break;
    case 1:
        clock = std::make_unique<FrozenGameClock>();
        break;
    case 2:
        clock = NetClockFactory() ? NetClockFactory()() : std::make_unique<GameClock>();
        break;
    default:
        return nullptr;
    }
    CurrentClock() = std::move(clock);
    return CurrentClock().get();
}

GameClock* GetGameClock() {
    return CurrentClock().get();
}

void SetNetGameClockFactory(std::function<std::unique_ptr<GameClock>()> factory) {
    NetClockFactory() = std::move(factory);
}

uint32_t CurrentGameTimeMs() {
    GameClock* clock = GetGameClock();
    return clock ? clock->GetTime() : 0;
}

void GameClock::Serialize() {
    static constexpr uint32_t kTags[] = {ChunkTag("tim1")};
    TransferTagList(kTags, [this](uint32_t tag) {
        if (tag != ChunkTag("tim1"))
            return;
        bool loading = StreamMode() == kStreamLoad;
        float speed = speed_;
        const WorldServices& services = Services();
        if (!loading && services.isNetworkGame && services.isNetworkGame() && services.networkSpeed)
            speed = services.networkSpeed();
        uint64_t ticks = tickCount_;
        uint32_t time = currentTime_;
        Transfer(ticks);
        Transfer(speed);
        Transfer(time);
        if (!loading)
            return;
        tickCount_ = ticks;
        speed_ = SaneSpeed(speed);
        currentTime_ = time;
        realStart_ = plat::Clock::Millis();
        baseTime_ = currentTime_;
    });
}
