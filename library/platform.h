// The library's seam to the platform calls that a test machine cannot provide
// (trace sessions) or that would make tests slow (pauses, the remote call's limit). Production code calls
// these through LibraryPlatform; tests may point entries at a simulation.
#pragma once

#include <windows.h>
#include <evntrace.h>
#include <rpc.h>

struct LibraryPlatformCalls {
    decltype(&::RegisterTraceGuidsA) RegisterTraceGuidsA;
    decltype(&::UnregisterTraceGuids) UnregisterTraceGuids;
    decltype(&::GetTraceLoggerHandle) GetTraceLoggerHandle;
    decltype(&::GetTraceEnableLevel) GetTraceEnableLevel;
    decltype(&::GetTraceEnableFlags) GetTraceEnableFlags;
    decltype(&::TraceMessage) TraceMessage;
    decltype(&::Sleep) Sleep;
    decltype(&::RpcBindingSetOption) RpcBindingSetOption;
};

// The platform's own functions; what LibraryPlatform holds unless a test swaps it.
extern const LibraryPlatformCalls RealLibraryPlatform;
extern LibraryPlatformCalls LibraryPlatform;
