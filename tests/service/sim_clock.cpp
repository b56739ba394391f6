#include "sim_clock.h"

#include "platform.h"

namespace {

SimClock* Current;

void WINAPI SimSleep(DWORD ms) {
    Current->Sleeps.push_back(ms);
    Current->Now += ms;
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
