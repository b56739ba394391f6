#include "tool_environment.h"

#include <cstdarg>
#include <cstdio>

#include "radio_control.h"

namespace {

TokenFacts ReadProcessTokenFacts() {
    TokenFacts facts;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return facts;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
        facts.Elevated = elevation.TokenIsElevated != 0;
    union {
        TOKEN_USER User;
        BYTE Bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user;
    if (GetTokenInformation(token, TokenUser, &user, sizeof user, &size))
        facts.LocalSystem = IsWellKnownSid(user.User.User.Sid, WinLocalSystemSid);
    CloseHandle(token);
    return facts;
}

USHORT ReadNativeMachine() {
    // IsWow64Process2 (Windows 10 1511 and later) also names an ARM64 host; before it, the
    // native system information tells the processor.
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2")));
    USHORT process = 0, native = 0;
    if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native)) return native;
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return IMAGE_FILE_MACHINE_I386;
    case PROCESSOR_ARCHITECTURE_AMD64: return IMAGE_FILE_MACHINE_AMD64;
    case PROCESSOR_ARCHITECTURE_ARM64: return IMAGE_FILE_MACHINE_ARM64;
    default: return IMAGE_FILE_MACHINE_UNKNOWN;
    }
}

DWORD ReadPipeServerProcessId(const char* pipePath, ULONG* processId) {
    *processId = 0;
    // The least a client can ask for; a pipe that refuses reading and writing may still allow it.
    // Identification only: whoever serves the pipe, perhaps not the service, must not act
    // with this (often elevated) process's token.
    HANDLE pipe = CreateFileA(pipePath, FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return GetLastError();
    const DWORD error = GetNamedPipeServerProcessId(pipe, processId) ? ERROR_SUCCESS : GetLastError();
    CloseHandle(pipe);
    return error;
}

}  // namespace

const ToolPlatformCalls RealToolPlatform = {ReadProcessTokenFacts, ReadNativeMachine, RequestRadioSwitch,
                                            ReadPipeServerProcessId};
ToolPlatformCalls ToolPlatform = RealToolPlatform;

const char* ToolVersion() { return RADIOCTL_VERSION; }

std::string ToolDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return std::string();
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

std::string DefaultLibraryPath() { return ToolDirectory() + DefaultLibraryName; }

std::string SystemMessage(DWORD code) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ' ||
                      text[length - 1] == '.'))
        --length;
    return std::string(text, length);
}

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char text[1024];
    int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0) return std::string();
    return std::string(text, static_cast<size_t>(length) < sizeof text ? static_cast<size_t>(length) : sizeof text - 1);
}
