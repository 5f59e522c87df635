#include "ui/amounts.h"

#include <cmath>
#include <limits>

namespace {

int64_t StepOf(int64_t magnitude) {
    if (magnitude < 1000)
        return 0;
    int64_t step = 1000;
    while (step < 1000000000 && magnitude >= step * 10)
        step *= 10;
    return step;
}

// Rounds a magnitude up to its step, saturating where the next step would
// not fit.
int64_t RoundMagnitudeUp(int64_t magnitude) {
    const int64_t step = StepOf(magnitude);
    if (step == 0)
        return magnitude;
    const AmountDivision d = DivideAmount(magnitude, step);
    if (d.remainder == 0)
        return d.quotient * step;
    if (d.quotient >= std::numeric_limits<int64_t>::max() / step - 1)
        return magnitude;
    return (d.quotient + 1) * step;
}

} // namespace

AmountDivision DivideAmount(int64_t amount, int64_t divisor) {
    if (divisor == 0 || (amount == std::numeric_limits<int64_t>::min() && divisor == -1))
        return {0, 0};
    return {amount / divisor, amount % divisor};
}

void RoundUpAmount(int64_t& amount) {
    if (amount >= 0)
        amount = RoundMagnitudeUp(amount);
}

void RoundDownAmount(int64_t& amount) {
    if (amount <= 0 && amount != std::numeric_limits<int64_t>::min())
        amount = -RoundMagnitudeUp(-amount);
}

int64_t SpeedFromTravelTime(float travelTimeMsPerSquare) {
    const float speed = 31000.0f / travelTimeMsPerSquare;
    // Only values that a 64-bit whole number holds convert defined.
    if (!std::isfinite(speed) || std::fabs(speed) >= 9.2e18f)
        return 0;
    return int64_t(speed);
}
