// Runs a program to completion from a console-like start (no SCM), with what it writes
// to standard output and standard error captured apart.
#pragma once

#include <windows.h>

#include <string>

struct ProgramRun {
    DWORD ExitCode = STILL_ACTIVE;
    std::string Out;
    std::string Err;
    DWORD ElapsedMs = 0;
    std::string Output() const { return Out + Err; }
};

// The path is quoted; the arguments are appended as they are. A program that does not
// start or does not end within the time fails the test (and is ended).
ProgramRun RunProgram(const std::string& path, const std::string& arguments, DWORD timeoutMs = 60000);
