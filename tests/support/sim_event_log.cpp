#include "sim_event_log.h"

#include "event_log.h"
#include "platform.h"

namespace {

SimEventLog* current;
// Far from real handles; the service must hand back exactly this.
const HANDLE SourceHandle = reinterpret_cast<HANDLE>(0xE7E70000);

}  // namespace

struct SimEventLogSeam {
    using Guard = std::lock_guard<std::mutex>;

    static HANDLE WINAPI Register(LPCSTR server, LPCSTR source) {
        SimEventLog& log = *current;
        if (log.DuringCall) log.DuringCall();
        Guard guard(log.lock_);
        log.sources_.push_back(source ? source : "");
        if (server) ++log.ServerNamesGiven;
        if (log.RegistrationFails) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        ++log.registered_;
        return SourceHandle;
    }

    static BOOL WINAPI Report(HANDLE source, WORD type, WORD, DWORD id, PSID, WORD count, DWORD, LPCSTR* strings,
                              LPVOID) {
        SimEventLog& log = *current;
        if (log.DuringCall) log.DuringCall();
        Guard guard(log.lock_);
        ++log.ReportCalls;
        if (source != SourceHandle || log.registered_ == log.Deregistrations) {
            ++log.ForeignHandles;
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (log.ReportFails) {
            SetLastError(ERROR_LOG_FILE_FULL);
            return FALSE;
        }
        SimLoggedEvent event{type, id, {}};
        for (WORD i = 0; i < count; ++i) event.Inserts.push_back(strings[i] ? strings[i] : "(null)");
        log.events_.push_back(std::move(event));
        return TRUE;
    }

    static BOOL WINAPI Deregister(HANDLE source) {
        SimEventLog& log = *current;
        Guard guard(log.lock_);
        if (source != SourceHandle || log.registered_ == log.Deregistrations) {
            ++log.ForeignHandles;
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        ++log.Deregistrations;
        return TRUE;
    }
};

SimEventLog::SimEventLog() {
    // Whatever an earlier test left registered goes to the platform it came from.
    CloseEventSource();
    current = this;
    ServicePlatform.RegisterEventSourceA = SimEventLogSeam::Register;
    ServicePlatform.ReportEventA = SimEventLogSeam::Report;
    ServicePlatform.DeregisterEventSource = SimEventLogSeam::Deregister;
}

SimEventLog::~SimEventLog() {
    // A SimRadio that ended first put the real calls back: the handle is still ours.
    ServicePlatform.DeregisterEventSource = SimEventLogSeam::Deregister;
    CloseEventSource();
    ServicePlatform.RegisterEventSourceA = RealServicePlatform.RegisterEventSourceA;
    ServicePlatform.ReportEventA = RealServicePlatform.ReportEventA;
    ServicePlatform.DeregisterEventSource = RealServicePlatform.DeregisterEventSource;
    current = nullptr;
}

std::vector<SimLoggedEvent> SimEventLog::Events() const {
    FlushEventReports();
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

void SimEventLog::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    events_.clear();
}

std::vector<std::string> SimEventLog::RegisteredSources() const {
    FlushEventReports();
    std::lock_guard<std::mutex> guard(lock_);
    return sources_;
}
