// Process-wide state shared by the service runtime, request handling and the device
// switch. Created by the service main before the RPC server starts; lives until exit.
#pragma once

#include <windows.h>

// Auto-reset, initially not signalled: set when a switch completed or failed.
extern HANDLE SwitchDoneEvent;
// 1 while the service is paused; requests and device events are ignored then.
extern volatile BYTE ServicePaused;
