// Virtual time behind the service seam's Sleep and GetTickCount: a pause advances the
// tick count at once, so limits of tens of seconds run in milliseconds. The clock
// starts just before the tick counter wraps.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

class SimClock {
public:
    SimClock();
    ~SimClock();
    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;

    DWORD Elapsed() const { return Now - Start; }

    const DWORD Start = 0xFFFFC000u;
    DWORD Now = Start;
    std::vector<DWORD> Sleeps;  // every pause asked for, in order
    // Runs after each pause has advanced the clock, with the pause's index.
    std::function<void(size_t)> OnSleep;
};
