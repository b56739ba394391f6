#include "lifecycle.h"

#include "diagnostics.h"
#include "radio_key.h"

BOOL RadioDllInit() {
    DebugPrint(TraceEventText<EvInitEntry>);
    TracePoint(EvInitEntry);
    RadioLibraryContext =
        static_cast<RadioLibraryContextRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *RadioLibraryContext));
    // Without a context the library cannot work either: refuse to load as for a missing key.
    if (!RadioLibraryContext || !OpenBtRadioKey()) {
        TracePoint(EvInitFailed);
        return FALSE;  // the detach path that follows releases the record
    }
    Report<EvInitDone>();
    return TRUE;
}

BOOL RadioDllDeInit() {
    DebugPrint(TraceEventText<EvDeInitEntry>);
    TracePoint(EvDeInitEntry);
    if (RadioLibraryContext) {
        CloseBtRadioKey();
        HeapFree(GetProcessHeap(), 0, RadioLibraryContext);
        RadioLibraryContext = nullptr;
    }
    Report<EvDeInitDone>();
    return TRUE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    DebugPrint("DllMain  ==>> \n");
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        RegisterTraceProvider();
        Report<EvProcessAttach>();
        if (!RadioDllInit()) {
            Report<EvAttachFailed>();
            UnregisterTraceProvider();
            // The runtime calls again with DLL_PROCESS_DETACH, which releases the context.
            return FALSE;
        }
        break;
    case DLL_PROCESS_DETACH:
        Report<EvProcessDetach>();
        // A non-null reserved means the process is ending: its other threads are gone,
        // perhaps killed holding the key's lock or inside the trace provider's callback,
        // so closing the key, freeing the context or unregistering the provider (which
        // waits for its callbacks) could wait for ever under the loader lock. The
        // process's end releases all three.
        if (reserved) break;
        RadioDllDeInit();
        UnregisterTraceProvider();
        break;
    case DLL_THREAD_ATTACH:
        Report<EvThreadAttach>();
        break;
    case DLL_THREAD_DETACH:
        Report<EvThreadDetach>();
        break;
    default:
        DebugPrint("DEFAULT\n");
        break;
    }
    DebugPrint("DllMain << ==\n");
    return TRUE;
}
