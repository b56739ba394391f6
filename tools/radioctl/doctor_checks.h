// The links radioctl doctor checks, one file per area: each opens what it looks at with
// reading rights only (the Radio Support key also with the library's own access, which
// changes nothing) and says so where it could not look without more rights.
#pragma once

#include <windows.h>

#include <string>

#include "doctor_link.h"

RadioStateReading ReadRadioStateValue();

// The service's process as the Service Control Manager tells it.
struct ServiceProcess {
    bool Known = false;   // false when the SCM could not be asked
    DWORD ProcessId = 0;  // 0 when the service is not registered or not running
};
ServiceProcess QueryServiceProcess();

// The links, in the order the report shows them.
LinkReport CheckRadioSupportKey();
LinkReport CheckStateValue(const RadioStateReading& state);
LinkReport CheckLibrary(const std::string& libraryPath);
LinkReport CheckService();
LinkReport CheckPipe();
LinkReport CheckDeviceNodes();
LinkReport CheckPortInterface(const RadioStateReading& state);
LinkReport CheckRemoteWake();
LinkReport CheckTracing();
