#include "platform.h"

const LibraryPlatformCalls RealLibraryPlatform = {
    ::RegisterTraceGuidsA, ::UnregisterTraceGuids, ::GetTraceLoggerHandle, ::GetTraceEnableLevel,
    ::GetTraceEnableFlags, ::TraceMessage,        ::Sleep,               ::RpcBindingSetOption,
};

LibraryPlatformCalls LibraryPlatform = RealLibraryPlatform;
