// The service program's command line and its own registration with the Service
// Control Manager. Nothing is reported anywhere: a command's outcome shows only in
// the SCM's database and in the service's state.
#pragma once

#include <windows.h>

// Process-wide, zero at start. The first argument, cut to 200 characters: a longer
// argument can match no command word.
inline constexpr size_t CommandBufferSize = 201;
extern char CommandWord[CommandBufferSize];
// The service's binary path: this program's full path, quoted when it contains a
// space. Stays empty when the path does not fit, and "install" then does nothing.
extern char ModulePath[CommandBufferSize];

// Service control polling: the wait hint / 10 within these bounds while a state is
// pending; the stop command gives up this long after it began.
inline constexpr DWORD MinPollIntervalMs = 1000;
inline constexpr DWORD MaxPollIntervalMs = 10000;
inline constexpr DWORD StopCommandLimitMs = 30000;
// After its stop control the stop command sleeps the raw wait hint, but never less.
inline constexpr DWORD MinStopPollMs = 100;

// The program's exit code when "install" refuses the 32-bit program on 64-bit Windows:
// a Win32 code that says so ("not compatible with the version of Windows").
inline constexpr int InstallRefusedExitCode = ERROR_EXE_MACHINE_TYPE_MISMATCH;

// Fills ModulePath and runs the command named by CommandWord, whole and regardless
// of case, on RadioServiceName (service_runtime.h): "install" (register when missing, then start),
// "stop", "remove"; "start" starts the service and then, like no word or any other
// word, runs as the service. Returns the program's exit code: 0, but for "install" under
// WOW64, which registers nothing, says why on standard error and returns
// InstallRefusedExitCode.
int RunServiceCommand();

// True when the service opens with full access; a caller without those rights finds it missing.
bool IsServiceInstalled(const char* serviceName);
// Registers binaryPath (own process, automatic start, local system) unless the
// service exists or the path is empty; prepares the radio's interface first.
void InstallRadioService(const char* binaryPath, const char* serviceName);
// Marks the service for deletion; the SCM removes it once it has stopped.
void RemoveRadioService(const char* serviceName);
// True when the service was seen stopped, at most StopCommandLimitMs after the call began.
bool StopRadioService(const char* serviceName);
// True when the service was seen running after a start, or needed none (running,
// starting, pausing, paused). Waits out a pending stop first; either wait gives
// up when the checkpoint has not grown within one wait hint.
bool StartRadioService(const char* serviceName);
