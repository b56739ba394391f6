#include "sim_clock.h"

#include <gtest/gtest.h>

#include "platform.h"

namespace {

SimClock* Current;

// Far more pauses than any limit allows: the code under test spins.
constexpr size_t SpinningPauses = 10000;

void WINAPI SimSleep(DWORD ms) {
    Current->Sleeps.push_back(ms);
    Current->Now += ms;
    if (Current->Sleeps.size() > SpinningPauses) {
        // Let time run on so that the spinning loop ends at its limit.
        if (Current->Sleeps.size() == SpinningPauses + 1) ADD_FAILURE() << "more than 10000 pauses: spinning";
        Current->Now += 1000;
    }
    // A token real pause keeps the SCM's and the service's threads moving.
    ::Sleep(ms / 1000);
    if (Current->OnSleep) Current->OnSleep(Current->Sleeps.size() - 1);
}

DWORD WINAPI SimGetTickCount() { return Current->Now; }

}  // namespace

SimClock::SimClock() {
    Current = this;
    ServicePlatform.Sleep = SimSleep;
    ServicePlatform.GetTickCount = SimGetTickCount;
}

SimClock::~SimClock() {
    ServicePlatform.Sleep = RealServicePlatform.Sleep;
    ServicePlatform.GetTickCount = RealServicePlatform.GetTickCount;
    Current = nullptr;
}
