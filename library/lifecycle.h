// The library's start-up and shut-down, driven by the loader's notifications.
#pragma once

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
BOOL RadioDllInit();
BOOL RadioDllDeInit();
