// Who is calling a remote procedure, as far as stopping the service is concerned.
#pragma once

#include <windows.h>
#include <rpc.h>

struct CallerTokenFacts {
    bool LocalSystem;     // the caller runs as local system
    bool Administrator;   // the caller's token has Administrators enabled (an elevated administrator)
};

// Impersonates the caller of the current remote call on `binding`, reads the facts from
// its token and reverts. NO_ERROR, or the error that kept the facts from being read.
DWORD QueryCallerToken(handle_t binding, CallerTokenFacts* facts);

// Only local system and elevated administrators may end the service remotely.
inline bool MayStopService(const CallerTokenFacts& caller) { return caller.LocalSystem || caller.Administrator; }
