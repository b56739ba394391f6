// The Application event log behind the service's seam, as a record of every event the
// service writes. Installs itself over the seam's event-log entries and starts the
// service's reporting afresh (no source, no rate-limit history); the destructor puts
// the real calls back. Construct it after a SimRadio, which keeps whatever entries it
// finds. No GoogleTest, like the simulated radio.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct SimLoggedEvent {
    WORD Type;  // EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_INFORMATION_TYPE
    DWORD Id;
    std::vector<std::string> Inserts;
};

class SimEventLog {
public:
    SimEventLog();
    ~SimEventLog();
    SimEventLog(const SimEventLog&) = delete;
    SimEventLog& operator=(const SimEventLog&) = delete;

    // Scripts: RegisterEventSourceA returns null (ERROR_ACCESS_DENIED); ReportEventA
    // returns FALSE (ERROR_LOG_FILE_FULL), its event not recorded in Events.
    bool RegistrationFails = false;
    bool ReportFails = false;
    // Run at the start of every RegisterEventSourceA and ReportEventA, on the caller's thread.
    std::function<void()> DuringCall;

    // What the service did, read after the code under test has returned (and, for these two, written).
    std::vector<SimLoggedEvent> Events() const;
    void Clear();  // forgets the events recorded so far
    std::vector<std::string> RegisteredSources() const;  // the source name of every registration
    unsigned ServerNamesGiven = 0;   // registrations that named a server (always the local machine)
    unsigned ReportCalls = 0;        // ReportEventA calls, failed ones included
    unsigned ForeignHandles = 0;     // reports or deregistrations with a handle not handed out
    unsigned Deregistrations = 0;
    unsigned OpenSources() const { return registered_ - Deregistrations; }

private:
    friend struct SimEventLogSeam;
    mutable std::mutex lock_;
    std::vector<SimLoggedEvent> events_;
    std::vector<std::string> sources_;
    unsigned registered_ = 0;
};
