// The library's one contact with the radio switch service: a request to switch the
// radio, made over a binding that exists for that one request only.
#pragma once

#include <windows.h>
#include <rpc.h>

// The binding of the request in progress; null between requests. One per module:
// requests must not overlap.
extern handle_t RadioControlBinding;

// Asks the service to switch the radio on (nonzero) or off (0) and waits for its answer.
// Returns 0 when the binding was built and released, also when the remote call failed
// (the caller learns the outcome from the radio state value only); 2 when building or
// releasing the binding failed.
DWORD EnableDisableUSBBtDevice(DWORD enable);
