#include "switch_request.h"

#include <cstring>

#include "device_switch.h"
#include "event_log.h"
#include "platform.h"
#include "service_state.h"

extern "C" void RequestRadioSwitch(handle_t, const char* request) {
    if (ServicePaused == 1) return;
    if (!SwitchDoneEvent) return;
    DWORD direction;
    if (_stricmp(request, EnableRadioRequest) == 0)
        direction = 1;
    else if (_stricmp(request, DisableRadioRequest) == 0)
        direction = 0;
    else
        return;
    // Clear completions left over from device events no request was waiting for.
    if (!ResetEvent(SwitchDoneEvent)) return;
    SwitchRadioDevice(direction);
    if (ServicePlatform.WaitForSingleObject(SwitchDoneEvent, SwitchCompletionTimeout) == WAIT_TIMEOUT)
        ReportRequestTimedOut(direction);
}
