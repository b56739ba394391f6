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

// CreateProcessA with the same arguments, tried again when Wine reports ERROR_INTERNAL_ERROR:
// Wine's answer when the new process died before any of its image's code ran (seen once
// in hundreds of starts on a loaded machine). Windows never answers a start that way.
BOOL StartProcess(const char* application, std::string& commandLine, BOOL inheritHandles, STARTUPINFOA& startup,
                  PROCESS_INFORMATION& process);

// The path is quoted; the arguments are appended as they are. A program that does not
// start or does not end within the time fails the test (and is ended).
ProgramRun RunProgram(const std::string& path, const std::string& arguments, DWORD timeoutMs = 60000);
