// The simulated-radio service running under the test prefix's real SCM, configured
// through its registry settings, plus a client bound to its pipe.
#pragma once

#include <windows.h>
#include <rpc.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "scm_service.h"

// The simulated-radio service program of this bitness, or of the other one (empty when
// that build is missing or cannot run here).
std::string SimulatedServicePath();
std::string PeerSimulatedServicePath();
// "same": this bitness's; "peer": the other one's.
std::string SimulatedServicePathFor(const std::string& bitness);

// A setting of the simulated-radio service, or -1 when it is missing.
long long SimulatedRadioSetting(const char* name);
// Polls `read` every 5 ms until it answers `value`; false when timeoutMs pass first.
bool WaitUntil(long long (*read)(), long long value, DWORD timeoutMs);
// The radio's node runs (1) or not (0) as the class installer left it; -1 before any change.
long long SimulatedRadioRunning();

// Waits until something listens on \pipe\ZkBtRcIf.
bool WaitForRadioPipe(DWORD timeoutMs);

// Registers the service under its own name and starts it; stops and removes it at the end.
class SimulatedService {
public:
    explicit SimulatedService(const std::string& path);
    // Starts and waits until the pipe is served; false when either does not happen.
    bool StartServing();
    TestService& Scm() { return service_; }

private:
    TestService service_;
};

// A call on a thread of its own, so that the test can act meanwhile.
class InFlight {
public:
    explicit InFlight(std::function<DWORD()> call);
    ~InFlight() { Wait(); }
    // Both wait for the call to return.
    DWORD Result() { return Wait(), result_; }
    DWORD ElapsedMs() { return Wait(), elapsed_; }

private:
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }
    std::atomic<DWORD> result_{~0u};
    std::atomic<DWORD> elapsed_{0};
    std::thread thread_;
};

// RequestRadioSwitch on a binding of its own; how long it took.
DWORD TimedRequest(const char* request);

// A binding to the service's pipe, released at the end.
class RadioBinding {
public:
    RadioBinding();
    ~RadioBinding();
    RadioBinding(const RadioBinding&) = delete;
    RadioBinding& operator=(const RadioBinding&) = delete;
    handle_t Handle() const { return handle_; }

private:
    handle_t handle_ = nullptr;
};
