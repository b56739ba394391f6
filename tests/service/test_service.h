// A registered scm_test_service for one test, removed again at the end: its process
// is ended if it still runs, and the test waits until the SCM has dropped it.
#pragma once

#include <windows.h>

#include <string>

// The binary path that registers scm_test_service with the given behaviour.
std::string TestServiceCommandLine(const char* name, int startSteps, int stopSteps, DWORD waitHint);

// The service's status as the SCM reports it; fails the test when it cannot be read.
SERVICE_STATUS_PROCESS QueryTestService(const char* name);
bool ServiceExists(const char* name);
// Ends the service's process if it runs, deletes the service, waits until it is gone.
void RemoveServiceCompletely(const char* name);

struct ServiceConfig {
    DWORD Type, StartType, ErrorControl, TagId;
    std::string BinaryPath, LoadOrderGroup, Dependencies, Account, DisplayName;  // "(null)" for none
};
ServiceConfig ReadConfig(const char* name);
// Changes only the start type to on demand.
void SetDemandStart(const char* name);

class ScopedTestService {
public:
    ScopedTestService(const char* name, int startSteps, int stopSteps, DWORD waitHint);
    ~ScopedTestService();
    ScopedTestService(const ScopedTestService&) = delete;
    ScopedTestService& operator=(const ScopedTestService&) = delete;

    // Starts it without the code under test; returns once its first report arrived.
    void Start();
    // Sends the stop control without the code under test.
    void SendStop();
    // Lets the service take one step and waits until its report reached the SCM.
    void Step();
    SERVICE_STATUS_PROCESS Status() const { return QueryTestService(Name.c_str()); }

    const std::string Name;

private:
    HANDLE StepEvent;
    HANDLE StepDoneEvent;
};
