#include "service_state.h"

HANDLE SwitchDoneEvent;
volatile BYTE ServicePaused;
