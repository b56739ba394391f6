// The library's two report channels: debug text and trace events.
#pragma once

#include <windows.h>
#include <evntrace.h>

#include "trace_events.h"

struct TraceProviderRecord {
    TRACEHANDLE RegistrationHandle;  // 0 when not registered
    TRACEHANDLE LoggerHandle;        // session that enabled the provider; 0 while disabled
    UCHAR EnableLevel;               // recorded, never consulted
    ULONG EnableFlags;               // bit 0 switches every event on
    LPCGUID ControlGuid;
};

extern TraceProviderRecord TraceControlBlock;
// &TraceControl while no provider is registered, else &TraceControlBlock.
extern void* TraceControl;

// Control GUID {C31877A2-C8C8-4C58-B5B8-7D6311D5E343}.
extern const GUID TraceProviderGuid;
// Message GUID {FA39BBD6-335A-1019-B23B-CFB8FB0BA24B}, sent with every event.
extern const GUID TraceMessageGuid;

// Writes "ZUZORERIZEZUDADUR:" and then the formatted text, cut to 1023 characters.
void DebugPrint(const char* format, ...);

ULONG TraceEvent(TRACEHANDLE logger, USHORT number);
ULONG TraceEventValue(TRACEHANDLE logger, USHORT number, ULONG value);

void RegisterTraceProvider();
void UnregisterTraceProvider();
ULONG WINAPI TraceControlCallback(WMIDPREQUESTCODE request, PVOID context, ULONG* bufferSize, PVOID buffer);

// The gate of every trace point: a provider is registered and bit 0 of its flags is set.
inline bool TracePointEnabled() {
    return TraceControl != &TraceControl && (static_cast<TraceProviderRecord*>(TraceControl)->EnableFlags & 1);
}

inline void TracePoint(TraceEventNumber number) {
    if (TracePointEnabled()) TraceEvent(static_cast<TraceProviderRecord*>(TraceControl)->LoggerHandle, number);
}

inline void TracePointValue(TraceEventNumber number, ULONG value) {
    if (TracePointEnabled())
        TraceEventValue(static_cast<TraceProviderRecord*>(TraceControl)->LoggerHandle, number, value);
}

// A step's two reports: event N, then the debug text that the event table gives it.
template <TraceEventNumber N, typename... Args>
inline void Report(Args... args) {
    static_assert(!FindTraceEvent(N).HasValue && TraceEventText<N> != nullptr);
    TracePoint(N);
    DebugPrint(TraceEventText<N>, args...);
}

template <TraceEventNumber N, typename... Args>
inline void ReportValue(ULONG value, Args... args) {
    static_assert(FindTraceEvent(N).HasValue && TraceEventText<N> != nullptr);
    TracePointValue(N, value);
    DebugPrint(TraceEventText<N>, args...);
}
