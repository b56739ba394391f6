// A simulated trace session behind the library's platform seam: it records every
// TraceMessage call and sends enable and disable requests to the registered provider.
#pragma once

#include <windows.h>
#include <evntrace.h>

#include <vector>

struct SentTraceMessage {
    LONG Stamp;  // position in the shared timeline
    TRACEHANDLE Logger;
    ULONG Flags;
    GUID MessageGuid;
    USHORT Number;
    std::vector<std::vector<BYTE>> Arguments;  // one entry per (pointer, length) pair
};

class SimTraceSession {
public:
    // Installs the simulation into the library's seam; the destructor restores the real platform.
    SimTraceSession();
    ~SimTraceSession();
    SimTraceSession(const SimTraceSession&) = delete;
    SimTraceSession& operator=(const SimTraceSession&) = delete;

    // A session that already has the provider enabled: registration calls back at once.
    void EnableAtRegistration(ULONG flags, UCHAR level);
    // Sends a control request to the registered provider as the platform would.
    ULONG Enable(ULONG flags, UCHAR level);
    ULONG Disable();
    ULONG SendRequest(WMIDPREQUESTCODE code);
    ULONG LastBufferSize = 0;  // what the provider left in the buffer size of the last request

    std::vector<SentTraceMessage> Messages;

    // Registration as the platform saw it.
    ULONG RegisterResult = ERROR_SUCCESS;
    TRACEHANDLE NextRegistrationHandle = 0x5A5A0001;
    int RegisterCalls = 0;
    WMIDPREQUEST Callback = nullptr;
    PVOID Context = nullptr;
    GUID ControlGuid{};
    ULONG GuidCount = 0;
    GUID RegistrationGuid{};
    bool MofNamesNull = false;
    std::vector<TRACEHANDLE> Unregistered;

    // The session's identity and what it asks for.
    TRACEHANDLE Logger = 0x0000ABCD12345678;
    UCHAR Level = 0;
    ULONG Flags = 0;
    bool EnabledAtRegistration = false;
};
