// The library's context record and its access to the radio state value.
#pragma once

#include <windows.h>

struct RadioLibraryContextRecord {
    HKEY RadioKey;    // the open Radio Support key; null before it is opened and after it is closed
    BYTE RadioState;  // low byte of the last value read successfully: 0 = off, else on
};

// Created zero-filled at process attach, released at process detach.
extern RadioLibraryContextRecord* RadioLibraryContext;

bool OpenBtRadioKey();
// Re-reads ZentRadioState, a REG_DWORD of exactly 4 bytes, into RadioState; false leaves
// RadioState as it was. A key deleted since it was opened is let go and opened again, so
// that a key made anew is read.
bool QueryBtRadioKeyValue();
