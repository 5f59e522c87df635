#include "platform/local_date.h"

#include <ctime>

namespace plat {

void LocalDate(uint32_t& day, uint32_t& month) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) {
        day = 1;
        month = 0;
        return;
    }
    day = uint32_t(local.tm_mday);
    month = uint32_t(local.tm_mon);
}

} // namespace plat
