#include "sim_trace.h"

#include <cstdarg>

#include "platform.h"
#include "timeline.h"

namespace {

SimTraceSession* current;

ULONG WINAPI SimRegisterTraceGuids(WMIDPREQUEST callback, PVOID context, LPCGUID controlGuid, ULONG guidCount,
                                   PTRACE_GUID_REGISTRATION registration, LPCSTR mofImagePath,
                                   LPCSTR mofResourceName, PTRACEHANDLE handle) {
    SimTraceSession& s = *current;
    ++s.RegisterCalls;
    s.Callback = callback;
    s.Context = context;
    s.ControlGuid = *controlGuid;
    s.GuidCount = guidCount;
    s.RegistrationGuid = *registration->Guid;
    s.MofNamesNull = !mofImagePath && !mofResourceName;
    if (s.RegisterResult != ERROR_SUCCESS) return s.RegisterResult;
    *handle = s.NextRegistrationHandle;
    if (s.EnabledAtRegistration) s.SendRequest(WMI_ENABLE_EVENTS);
    return ERROR_SUCCESS;
}

ULONG WINAPI SimUnregisterTraceGuids(TRACEHANDLE handle) {
    current->Unregistered.push_back(handle);
    return ERROR_SUCCESS;
}

// The platform hands the provider a WNODE_HEADER whose HistoricalContext is the logger.
TRACEHANDLE WINAPI SimGetTraceLoggerHandle(PVOID buffer) {
    return static_cast<WNODE_HEADER*>(buffer)->HistoricalContext;
}

UCHAR WINAPI SimGetTraceEnableLevel(TRACEHANDLE logger) {
    return logger == current->Logger ? current->Level : 0;
}

ULONG WINAPI SimGetTraceEnableFlags(TRACEHANDLE logger) {
    return logger == current->Logger ? current->Flags : 0;
}

ULONG __cdecl SimTraceMessage(TRACEHANDLE logger, ULONG flags, LPCGUID guid, USHORT number, ...) {
    SentTraceMessage message{NextTimelineStamp(), logger, flags, *guid, number, {}};
    va_list args;
    // TraceMessage's own prototype ends in a USHORT; every Windows calling convention
    // passes it in a whole slot, so the variable arguments start where va_start looks.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
    va_start(args, number);
#ifdef __clang__
#pragma clang diagnostic pop
#endif
    for (;;) {
        auto* data = va_arg(args, const BYTE*);
        auto length = va_arg(args, size_t);
        if (!data) break;
        message.Arguments.emplace_back(data, data + length);
    }
    va_end(args);
    current->Messages.push_back(std::move(message));
    return ERROR_SUCCESS;
}

}  // namespace

SimTraceSession::SimTraceSession() {
    current = this;
    LibraryPlatform.RegisterTraceGuidsA = SimRegisterTraceGuids;
    LibraryPlatform.UnregisterTraceGuids = SimUnregisterTraceGuids;
    LibraryPlatform.GetTraceLoggerHandle = SimGetTraceLoggerHandle;
    LibraryPlatform.GetTraceEnableLevel = SimGetTraceEnableLevel;
    LibraryPlatform.GetTraceEnableFlags = SimGetTraceEnableFlags;
    LibraryPlatform.TraceMessage = SimTraceMessage;
}

SimTraceSession::~SimTraceSession() {
    LibraryPlatform = RealLibraryPlatform;
    current = nullptr;
}

void SimTraceSession::EnableAtRegistration(ULONG flags, UCHAR level) {
    EnabledAtRegistration = true;
    Flags = flags;
    Level = level;
}

ULONG SimTraceSession::Enable(ULONG flags, UCHAR level) {
    Flags = flags;
    Level = level;
    return SendRequest(WMI_ENABLE_EVENTS);
}

ULONG SimTraceSession::Disable() { return SendRequest(WMI_DISABLE_EVENTS); }

ULONG SimTraceSession::SendRequest(WMIDPREQUESTCODE code) {
    WNODE_HEADER header{};
    header.BufferSize = sizeof header;
    header.HistoricalContext = Logger;
    LastBufferSize = sizeof header;
    return Callback(code, Context, &LastBufferSize, &header);
}
