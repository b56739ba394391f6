// Where radioctl is, which library it loads by default, the system's words for an
// error code, and the seam to what the doctor asks the platform about this process and
// machine: shared by the commands that call the library and by the doctor.
#pragma once

#include <windows.h>
#include <rpc.h>

#include <string>

// This build's images: "64" for x64, "arm64" for ARM64, nothing for x86.
inline constexpr char DefaultLibraryName[] = "radioswitch" RADIOSWITCH_IMAGE_SUFFIX ".dll";
inline constexpr char ServiceProgramName[] = "radioswitchsvc" RADIOSWITCH_IMAGE_SUFFIX ".exe";
inline constexpr char RadioctlName[] = "radioctl" RADIOSWITCH_IMAGE_SUFFIX;

// The folder of radioctl's own image, with its closing backslash; empty when unknown.
std::string ToolDirectory();
// The library beside radioctl.
std::string DefaultLibraryPath();
// FormatMessage's text for a Win32 code, without the closing line end.
std::string SystemMessage(DWORD code);
// printf into a std::string (cut at 1023 characters).
#ifdef __GNUC__
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#else
std::string Format(const char* format, ...);
#endif

// radioctl's version, the project's ("1.0.0").
const char* ToolVersion();

// What this process's token says about its rights.
struct TokenFacts {
    bool Elevated = false;
    bool LocalSystem = false;
};

// The platform's answers that a test machine cannot vary (under Wine every program runs
// elevated, Windows' bitness is the prefix's, and any caller may open a pipe). Production
// code asks through ToolPlatform; tests may point entries at other answers.
struct ToolPlatformCalls {
    TokenFacts (*ReadTokenFacts)();
    // IMAGE_FILE_MACHINE_* of the running Windows, not of this process; 0 when unknown.
    USHORT (*NativeMachine)();
    // The client stub's call of opnum 0, which raises the RPC status of a failed call.
    void (*RequestRadioSwitch)(handle_t binding, const char* request);
    // The process that serves a named pipe ("\\.\pipe\NAME"), into processId (0 when
    // Windows does not tell); a Win32 error when the pipe cannot be opened or asked.
    DWORD (*PipeServerProcessId)(const char* pipePath, ULONG* processId);
};

extern const ToolPlatformCalls RealToolPlatform;
extern ToolPlatformCalls ToolPlatform;
