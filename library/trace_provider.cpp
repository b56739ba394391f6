#include "diagnostics.h"
#include "platform.h"

// Message flags: sequence number, message GUID, time stamp, thread and process IDs.
static constexpr ULONG TraceMessageFlags =
    TRACE_MESSAGE_SEQUENCE | TRACE_MESSAGE_GUID | TRACE_MESSAGE_TIMESTAMP | TRACE_MESSAGE_SYSTEMINFO;

const GUID TraceProviderGuid = {0xC31877A2, 0xC8C8, 0x4C58, {0xB5, 0xB8, 0x7D, 0x63, 0x11, 0xD5, 0xE3, 0x43}};
const GUID TraceMessageGuid = {0xFA39BBD6, 0x335A, 0x1019, {0xB2, 0x3B, 0xCF, 0xB8, 0xFB, 0x0B, 0xA2, 0x4B}};

TraceProviderRecord TraceControlBlock;
void* TraceControl = &TraceControl;

// The argument list is (pointer, length) pairs, ended by a null pointer and a zero length.
ULONG TraceEvent(TRACEHANDLE logger, USHORT number) {
    return LibraryPlatform.TraceMessage(logger, TraceMessageFlags, &TraceMessageGuid, number,
                                        static_cast<void*>(nullptr), size_t{0});
}

ULONG TraceEventValue(TRACEHANDLE logger, USHORT number, ULONG value) {
    return LibraryPlatform.TraceMessage(logger, TraceMessageFlags, &TraceMessageGuid, number, &value,
                                        sizeof value, static_cast<void*>(nullptr), size_t{0});
}

void RegisterTraceProvider() {
    static TRACE_GUID_REGISTRATION registration;
    TraceControlBlock.LoggerHandle = 0;
    TraceControlBlock.EnableLevel = 0;
    TraceControlBlock.EnableFlags = 0;
    TraceControl = &TraceControlBlock;
    TraceControlBlock.ControlGuid = &TraceProviderGuid;
    registration = {&TraceProviderGuid, nullptr};
    // Not examined: without a registration the flags stay 0 and nothing is sent.
    LibraryPlatform.RegisterTraceGuidsA(TraceControlCallback, &TraceControlBlock, &TraceProviderGuid, 1,
                                        &registration, nullptr, nullptr, &TraceControlBlock.RegistrationHandle);
}

void UnregisterTraceProvider() {
    if (TraceControl == &TraceControl) return;
    if (TraceControlBlock.RegistrationHandle != 0) {
        LibraryPlatform.UnregisterTraceGuids(TraceControlBlock.RegistrationHandle);
        TraceControlBlock.RegistrationHandle = 0;
    }
    TraceControl = &TraceControl;
}

ULONG WINAPI TraceControlCallback(WMIDPREQUESTCODE request, PVOID context, ULONG* bufferSize, PVOID buffer) {
    *bufferSize = 0;
    TRACEHANDLE logger = 0;
    UCHAR level = 0;
    ULONG flags = 0;
    switch (request) {
    case WMI_ENABLE_EVENTS:
        logger = LibraryPlatform.GetTraceLoggerHandle(buffer);
        level = LibraryPlatform.GetTraceEnableLevel(logger);
        flags = LibraryPlatform.GetTraceEnableFlags(logger);
        break;
    case WMI_DISABLE_EVENTS:
        break;
    default:
        return ERROR_INVALID_PARAMETER;
    }
    auto* block = static_cast<TraceProviderRecord*>(context);
    block->LoggerHandle = logger;
    block->EnableLevel = level;
    block->EnableFlags = flags;
    return ERROR_SUCCESS;
}
