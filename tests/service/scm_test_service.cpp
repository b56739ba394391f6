// A service whose progress the test drives, for exercising the SCM commands against
// Wine's real Service Control Manager.
// Usage: scm_test_service NAME START_STEPS STOP_STEPS WAIT_HINT
// A start (and a stop) is reported pending with checkpoint 1 and WAIT_HINT; each time
// the test signals the step event the checkpoint grows by one, and after that many
// steps the service reports running (stopped). 0 steps: at once; -1: never.
// After every report that a step caused, the service signals the step-done event.
#include <windows.h>

#include <cstdlib>

#include "scm_test_service.h"

namespace {

const char* ServiceName;
int StartSteps, StopSteps;
DWORD WaitHint;
SERVICE_STATUS_HANDLE StatusHandle;
SERVICE_STATUS Status;
HANDLE StopRequested, StepEvent, StepDoneEvent;
// The dispatcher returns once stopped is reported: the process must not end before the service main.
HANDLE ServiceMainDone;

void Report(DWORD state, DWORD checkPoint) {
    Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Status.dwCurrentState = state;
    Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    Status.dwCheckPoint = checkPoint;
    Status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : WaitHint;
    SetServiceStatus(StatusHandle, &Status);
}

// Grows the checkpoint once per step until steps are done (never for -1); the
// caller reports the final state.
void Step(DWORD pendingState, int steps) {
    for (int done = 1; steps < 0 || done <= steps; ++done) {
        WaitForSingleObject(StepEvent, INFINITE);
        if (done == steps) return;
        Report(pendingState, Status.dwCheckPoint + 1);
        SetEvent(StepDoneEvent);
    }
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP && Status.dwCurrentState == SERVICE_RUNNING) {
        Report(SERVICE_STOP_PENDING, 1);
        SetEvent(StopRequested);
    } else {
        SetServiceStatus(StatusHandle, &Status);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
    StatusHandle = RegisterServiceCtrlHandlerExA(ServiceName, Handler, nullptr);
    if (!StatusHandle) return;
    if (StartSteps != 0) {
        Report(SERVICE_START_PENDING, 1);
        Step(SERVICE_START_PENDING, StartSteps);
    }
    Report(SERVICE_RUNNING, 0);
    if (StartSteps != 0) SetEvent(StepDoneEvent);
    WaitForSingleObject(StopRequested, INFINITE);
    Step(SERVICE_STOP_PENDING, StopSteps);
    Report(SERVICE_STOPPED, 0);
    if (StopSteps != 0) SetEvent(StepDoneEvent);
    SetEvent(ServiceMainDone);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    ServiceName = argv[1];
    StartSteps = std::atoi(argv[2]);
    StopSteps = std::atoi(argv[3]);
    WaitHint = static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10));
    StopRequested = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ServiceMainDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    StepEvent = CreateEventA(nullptr, FALSE, FALSE, TestServiceStepEventName);
    StepDoneEvent = CreateEventA(nullptr, FALSE, FALSE, TestServiceStepDoneEventName);
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(ServiceName), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) return 1;
    WaitForSingleObject(ServiceMainDone, 10000);
    return 0;
}
