// Which readings of ZentRadioState hold a radio state: the library's rule, shared with the
// tools that tell what the library would answer.
#pragma once

#include <windows.h>

// Only a REG_DWORD of exactly 4 bytes: a shorter one's missing bytes would read as off,
// and a longer one is not the number the service writes.
constexpr bool HoldsRadioState(DWORD type, DWORD size) { return type == REG_DWORD && size == sizeof(DWORD); }
