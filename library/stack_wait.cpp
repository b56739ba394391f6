#include "stack_wait.h"

#include "diagnostics.h"
#include "platform.h"
#include "radio_key.h"

namespace {

// The two waits differ only in their target and their four reports.
template <TraceEventNumber Entry, TraceEventNumber Seen, TraceEventNumber ReadFailed, TraceEventNumber TimedOut>
DWORD WaitForRadioState(const char* name, bool wantOn, DWORD* examinedState) {
    Report<Entry>(name);
    for (int pass = 0; pass < StackWaitPasses; ++pass) {
        *examinedState = RadioLibraryContext->RadioState;
        if ((*examinedState != 0) == wantOn) {
            Report<Seen>();
            return ERROR_SUCCESS;
        }
        if (QueryBtRadioKeyValue() != true) {
            Report<ReadFailed>();
            return ERROR_INVALID_PARAMETER;
        }
        LibraryPlatform.Sleep(StackWaitPollMs);
    }
    // The value read in the last pass is deliberately not examined.
    Report<TimedOut>();
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

DWORD WaitUntilMsftBtStackLoaded(DWORD* examinedState) {
    return WaitForRadioState<EvLoadWaitEntry, EvStackLoaded, EvLoadWaitReadFailed, EvLoadWaitTimeout>(
        "WaitUntilMsftBtStackLoaded", true, examinedState);
}

DWORD WaitUntilMsftBtStackUnloaded(DWORD* examinedState) {
    return WaitForRadioState<EvUnloadWaitEntry, EvStackUnloaded, EvUnloadWaitReadFailed, EvUnloadWaitTimeout>(
        "WaitUntilMsftBtStackUnloaded", false, examinedState);
}
