// One ordering for everything the code under test reports (debug texts, trace
// events, simulated platform calls), so tests can assert their relative order.
#pragma once

#include <windows.h>

inline LONG NextTimelineStamp() {
    static volatile LONG stamp;
    return InterlockedIncrement(&stamp);
}
