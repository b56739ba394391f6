// The simulated-radio service running under the test prefix's real SCM, configured
// through its registry settings, plus a client bound to its pipe.
#pragma once

#include <windows.h>
#include <rpc.h>

#include <memory>
#include <string>

#include "scm_service.h"

// The simulated-radio service program of this bitness, or of the other one (empty when
// that build is missing).
std::string SimulatedServicePath();
std::string PeerSimulatedServicePath();
// "same": this bitness's; "peer": the other one's.
std::string SimulatedServicePathFor(const std::string& bitness);

// A setting of the simulated-radio service, or -1 when it is missing.
long long SimulatedRadioSetting(const char* name);

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
