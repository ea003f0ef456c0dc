#include "platform/Clock.h"

#include <chrono>

namespace tessarel {

std::int64_t ElapsedMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ToLocalTime(std::int64_t seconds, std::tm& out) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, &out) != nullptr;
}

} // namespace tessarel
