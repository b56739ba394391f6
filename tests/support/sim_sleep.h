// Pauses the library asks for through its seam: each recorded in the shared timeline
// with the duration asked for, then taken scaled down or not at all, so a 12 s poll
// runs in moments while tests still assert the 200 ms and 500 ms.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

struct RequestedSleep {
    LONG Stamp;  // position in the shared timeline
    DWORD ThreadId;
    DWORD Milliseconds;
};

class SimSleep {
public:
    // Installs itself as LibraryPlatform.Sleep; the destructor restores the real Sleep.
    explicit SimSleep(DWORD divisor = 0) : Divisor(divisor) { Install(); }
    ~SimSleep();
    SimSleep(const SimSleep&) = delete;
    SimSleep& operator=(const SimSleep&) = delete;

    std::vector<RequestedSleep> Sleeps() const;
    // Forgets the pauses so far; counting starts again at 1.
    void Clear();
    // The durations asked for on every thread, in order.
    std::vector<DWORD> Durations() const;

    // Runs after the n-th pause (1-based, counted over all threads) has been recorded,
    // on the pausing thread: lets a test change the world between two polls.
    std::function<void(size_t n)> AfterSleep;
    // A pause of N ms takes N / Divisor ms; 0: none at all.
    DWORD Divisor;

private:
    void Install();
    static void WINAPI Record(DWORD milliseconds);
    mutable std::mutex lock_;
    std::vector<RequestedSleep> sleeps_;
};
