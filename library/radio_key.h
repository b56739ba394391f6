// The library's context record and its access to the radio state value.
#pragma once

#include <windows.h>

struct RadioLibraryContextRecord {
    HKEY RadioKey;    // the open Radio Support key; null before it is opened and after it is closed
    BYTE RadioState;  // low byte of the last value read successfully: 0 = off, else on
};

// Created zero-filled at process attach, released at process detach.
extern RadioLibraryContextRecord* RadioLibraryContext;

// Opens RadioKey unless it is held. At process attach only, before any reader runs.
bool OpenBtRadioKey();
// Closes RadioKey if it is held (reporting the close); at process detach.
void CloseBtRadioKey();
// Re-reads ZentRadioState, a REG_DWORD of exactly 4 bytes, into RadioState; false leaves
// RadioState as it was. Safe on any number of threads at once. A key deleted since it was
// opened is replaced by the key made anew, once one exists: the thread that replaces it
// reports the open and the close of the old handle; while no key exists, the old handle
// is kept and each read reports that the key could not be opened.
bool QueryBtRadioKeyValue();
