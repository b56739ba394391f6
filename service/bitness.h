// The program's bitness against the system's. The 32-bit program on 64-bit Windows runs
// under WOW64, where SetupAPI refuses every device change (ERROR_IN_WOW64): there the
// service would start and then fail every switch.
#pragma once

#include <windows.h>

#include "platform.h"

// The refusals name the programs to install on 64-bit Windows: the install command's
// message, and the start-up step of event 101 (with ERROR_IN_WOW64).
inline constexpr char Wow64InstallRefusal[] =
    "This is the 32-bit service and this Windows is 64-bit, where it could not switch the radio: "
    "install radioswitchsvc64.exe instead (radioswitchsvcarm64.exe on Windows on Arm).\r\n";
inline constexpr char Wow64StartStep[] =
    "the 32-bit service on 64-bit Windows (install radioswitchsvc64.exe, or radioswitchsvcarm64.exe on Windows on Arm)";

// False also where the question can't be answered: the program then runs as built.
inline bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return ServicePlatform.IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
