// What the world loop reads and moves of the game clock: the game time in
// milliseconds, the calendar's tick count (one tick per date step of 100 ms,
// 9000 ticks a year from 1850) and the speed.
#pragma once

#include <cstdint>

inline constexpr uint64_t kCalendarTicksPerYear = 9000;
inline constexpr uint32_t kCalendarFirstYear = 1850;

class LoopClock {
public:
    virtual ~LoopClock() = default;
    virtual uint32_t GetTime() const = 0;
    virtual uint64_t GetTickCount() const = 0;
    virtual void AdvanceTick() = 0;
    virtual float GetSpeed() const = 0;
    virtual void SetSpeed(float speed) = 0;
    // The clock's part of a saved game (the "time" section).
    virtual bool Serialize() = 0;

    uint32_t GetCurrentYear() const { return YearOfTick(GetTickCount()); }
    uint32_t GetMonth() const { return MonthOfTick(GetTickCount()); }
    uint32_t GetPeriod() const { return PeriodOfTick(GetTickCount()); }
    uint32_t GetNextTickYear() const { return YearOfTick(GetTickCount() + 1); }
    uint32_t GetNextTickMonth() const { return MonthOfTick(GetTickCount() + 1); }
    uint32_t GetNextTickPeriod() const { return PeriodOfTick(GetTickCount() + 1); }

    static uint32_t YearOfTick(uint64_t tick) {
        return uint32_t(tick / kCalendarTicksPerYear) + kCalendarFirstYear;
    }
    // 0 to 11.
    static uint32_t MonthOfTick(uint64_t tick) {
        return uint32_t(tick % kCalendarTicksPerYear * 12 / kCalendarTicksPerYear);
    }
    // A 48th of a year, 0 to 47.
    static uint32_t PeriodOfTick(uint64_t tick) {
        return uint32_t(tick % kCalendarTicksPerYear * 48 / kCalendarTicksPerYear);
    }
};

// A clock whose game time moves only when its owner advances it: the
// headless game advances it by a fixed amount per frame, so that a run
// depends on nothing but its inputs.
class FrameClock final : public LoopClock {
public:
    uint32_t GetTime() const override { return time_; }
    uint64_t GetTickCount() const override { return ticks_; }
    void AdvanceTick() override { ++ticks_; }
    float GetSpeed() const override { return speed_; }
    void SetSpeed(float speed) override { speed_ = speed; }
    bool Serialize() override;

    // Moves the game time on by ms scaled by the speed (whole milliseconds).
    void Advance(uint32_t ms);
    void SetTime(uint32_t time) { time_ = time; }
    void SetTickCount(uint64_t ticks) { ticks_ = ticks; }

private:
    uint32_t time_ = 0;
    uint64_t ticks_ = 0;
    float speed_ = 1.0f;
    // Fractions of a millisecond left over by a speed other than whole.
    float carry_ = 0.0f;
};
