// Where radioctl is, which library it loads by default, and the system's words for an
// error code: shared by the commands that call the library and by the doctor.
#pragma once

#include <windows.h>

#include <string>

#ifdef _WIN64
inline constexpr char DefaultLibraryName[] = "radioswitch64.dll";
inline constexpr char ServiceProgramName[] = "radioswitchsvc64.exe";
inline constexpr char RadioctlName[] = "radioctl64";
#else
inline constexpr char DefaultLibraryName[] = "radioswitch.dll";
inline constexpr char ServiceProgramName[] = "radioswitchsvc.exe";
inline constexpr char RadioctlName[] = "radioctl";
#endif

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
