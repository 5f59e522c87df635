// The game clock: the tick count from which the calendar (years, months,
// forty-eighths of a year, days) is derived, and the game time in
// milliseconds that runs with real time scaled by the game speed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

inline constexpr uint64_t kTicksPerYear = 9000;
inline constexpr uint32_t kFirstYear = 1850;

bool IsLeapYear(uint32_t year);
// Days of month 0-11 of the year.
uint32_t DaysInMonth(uint32_t month, uint32_t year);

struct GameDate {
    uint32_t day = 1;   // 1-31
    uint32_t month = 0; // 0-11
    uint32_t year = kFirstYear;
};

class GameClock {
public:
    GameClock();
    virtual ~GameClock() = default;

    virtual void Tick() { ++tickCount_; }
    uint64_t GetTicks() const { return tickCount_; }
    // Game milliseconds now; also remembered as the current time.
    virtual uint32_t GetTime();
    // Rebases and sets the speed; a negative or non-finite speed stops time.
    virtual void SetSpeed(float speed);
    float GetSpeed() const { return speed_; }

    uint32_t GetCurrentYear() const { return YearOf(tickCount_); }
    void SetYear(uint32_t year);
    uint32_t GetMonth() const { return MonthOf(tickCount_); }
    uint32_t GetYearPart() const { return YearPartOf(tickCount_); }
    uint32_t GetNextYearPart() const { return YearPartOf(tickCount_ + 1); }
    uint32_t GetNextMonth() const { return MonthOf(tickCount_ + 1); }
    uint32_t GetNextYear() const { return YearOf(tickCount_ + 1); }
    // Day and month by the real month lengths (GetMonth cuts the year into
    // twelve equal parts instead, so the two may differ near a month's end).
    GameDate GetDate();
    uint32_t GetDaysInMonth() const { return DaysInMonth(GetMonth(), GetCurrentYear()); }
    void AddTicks(uint32_t n) { tickCount_ += n; }
    void AddTime(int32_t ms);
    // The "tim1" chunk, both directions.
    void Serialize();
    virtual bool IsValid() const { return true; }
    // A copy of the same kind and state; each kind answers its own.
    virtual std::unique_ptr<GameClock> Clone() const { return std::make_unique<GameClock>(*this); }

    // The game time last computed, without looking at the real time.
    uint32_t GetCurrentTime() const { return currentTime_; }

    static uint32_t YearOf(uint64_t ticks) { return uint32_t(ticks / kTicksPerYear + kFirstYear); }
    static uint32_t MonthOf(uint64_t ticks);
    static uint32_t YearPartOf(uint64_t ticks);

protected:
    uint64_t tickCount_ = 0;
    uint32_t currentTime_ = 0;
    uint32_t baseTime_ = 0;
    uint32_t realStart_ = 0;
    float speed_ = 1.0f;

private:
    uint64_t cachedTick_ = ~uint64_t(0);
    GameDate cachedDate_;
};

// A clock whose time and ticks stand still.
class FrozenGameClock : public GameClock {
public:
    void Tick() override {}
    uint32_t GetTime() override { return currentTime_; }
    void SetSpeed(float) override {}
    std::unique_ptr<GameClock> Clone() const override { return std::make_unique<FrozenGameClock>(*this); }
};

// Replaces the current clock with a new one of the kind: 0 running, 1
// frozen, 2 the network game's (made by the factory the session registers;
// a running clock until then). Other kinds make nothing and keep the
// current clock.
GameClock* CreateGameClock(uint32_t kind);
// The current clock, or null before the first CreateGameClock.
GameClock* GetGameClock();
void SetNetGameClockFactory(std::function<std::unique_ptr<GameClock>()> factory);
// The current clock's game time in ms, 0 without a clock.
uint32_t CurrentGameTimeMs();
