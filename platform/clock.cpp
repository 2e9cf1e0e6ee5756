#include "platform/clock.h"

#include <ctime>

namespace platform {

namespace {

template <typename Convert>
LocalTime Read(Convert convert) {
    using namespace std::chrono;
    auto t = system_clock::now();
    std::time_t secs = system_clock::to_time_t(t);
    std::tm tm{};
    convert(&secs, &tm);
    int ms = static_cast<int>(duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
}

}  // namespace

LocalTime Clock::utcNow() const { return Read(gmtime_r); }

LocalTime SystemClock::now() const { return Read(localtime_r); }

int64_t SystemClock::steadyMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Clock& defaultClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace platform
