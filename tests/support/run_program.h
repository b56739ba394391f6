// Runs a program to completion with its output captured, for tests of console programs.
#pragma once

#include <windows.h>

#include <string>

struct ProgramRun {
    DWORD ExitCode = 0;
    std::string Out;
    std::string Err;
    bool Started = false;
};

// commandLine is passed to CreateProcessA as is (quote paths yourself).
ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs = 60000);
