// Wall clock for log stamps and elapsed time for the ETA; tests inject one.
#pragma once

#include <chrono>
#include <cstdint>

namespace platform {

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
    // The same moment in UTC (the recording time of images). Clocks that fix
    // the time for a job override it; the default reads the system's.
    virtual LocalTime utcNow() const;
    // Milliseconds from an arbitrary fixed origin, never going backwards.
    virtual int64_t steadyMs() const = 0;
};

class SystemClock final : public Clock {
public:
    LocalTime now() const override;
    int64_t steadyMs() const override;
};

// The clock used when nobody injected one.
Clock& defaultClock();

}  // namespace platform
