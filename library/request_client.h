// The library's one contact with the radio switch service: a request to switch the
// radio, made over a binding that exists for that one request only.
#pragma once

#include <windows.h>
#include <rpc.h>

// The binding of the request in progress; null between requests. One per module:
// requests must not overlap.
extern handle_t RadioControlBinding;

// The remote call's limit: above the service's 120 s hold plus the switch before it, so
// that only a service whose switch never ends (a class-installer call that never
// returns) runs into it.
inline constexpr ULONG_PTR RequestCallTimeoutMs = 180000;

// Asks the service to switch the radio on (nonzero) or off (0) and waits for its answer,
// at most RequestCallTimeoutMs. Returns 0 when the binding was built and released, also
// when the remote call failed (the caller learns the outcome from the radio state value
// only); 2 when building or releasing the binding failed, or when the call ran out its
// limit (the service's switch has not ended: a failed switch).
DWORD EnableDisableUSBBtDevice(DWORD enable);
