#include "platform.h"

const LibraryPlatformCalls RealLibraryPlatform = {
    ::RegisterTraceGuidsA, ::UnregisterTraceGuids, ::GetTraceLoggerHandle, ::GetTraceEnableLevel,
    ::GetTraceEnableFlags, ::TraceMessage,        ::Sleep,
};

LibraryPlatformCalls LibraryPlatform = RealLibraryPlatform;
