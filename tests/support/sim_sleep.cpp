#include "sim_sleep.h"

#include "platform.h"
#include "timeline.h"

namespace {

SimSleep* current;

}  // namespace

void SimSleep::Install() {
    current = this;
    LibraryPlatform.Sleep = Record;
}

SimSleep::~SimSleep() {
    LibraryPlatform.Sleep = RealLibraryPlatform.Sleep;
    current = nullptr;
}

void WINAPI SimSleep::Record(DWORD milliseconds) {
    SimSleep& self = *current;
    size_t count;
    {
        std::lock_guard<std::mutex> guard(self.lock_);
        self.sleeps_.push_back({NextTimelineStamp(), GetCurrentThreadId(), milliseconds});
        count = self.sleeps_.size();
    }
    if (self.Divisor) ::Sleep(milliseconds / self.Divisor);
    if (self.AfterSleep) self.AfterSleep(count);
}

std::vector<RequestedSleep> SimSleep::Sleeps() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sleeps_;
}

void SimSleep::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    sleeps_.clear();
}

std::vector<DWORD> SimSleep::Durations() const {
    std::vector<DWORD> durations;
    for (const RequestedSleep& sleep : Sleeps()) durations.push_back(sleep.Milliseconds);
    return durations;
}
