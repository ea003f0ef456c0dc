#pragma once
// Elapsed time and local time for the engine.

#include <cstdint>
#include <ctime>

namespace tessarel {

// Milliseconds of a monotonic clock: the search time is wall time, not the processor time of all
// threads that clock() would count.
std::int64_t ElapsedMilliseconds();

// Local time of a time_t-style count of seconds; false when it can't be converted.
bool ToLocalTime(std::int64_t seconds, std::tm& out);

} // namespace tessarel
