// radioctl: drives the radio support library the way the platform does, and says
// what happened. Loads radioswitch(64).dll by path and calls its exports; "doctor"
// checks every link a switch depends on instead, changing nothing.
//
//   radioctl [--dll PATH] [--debug-output] status|on|off
//   radioctl [--dll PATH] [--json] doctor
//   radioctl --version
//
// Exit codes: 0 the export succeeded (doctor: no link is broken), 1 it returned an
// error (doctor: a link is broken), 2 bad arguments, 3 the library could not be loaded
// or lacks an export.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "doctor.h"
#include "doctor_report.h"
#include "tool_environment.h"

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnavailable = 3;

using BluetoothEnableRadioFn = DWORD(WINAPI*)(BOOL);
using IsBluetoothRadioEnabledFn = DWORD(WINAPI*)(BOOL*);

enum class Command { None, Status, On, Off, Doctor };

struct Options {
    Command Action = Command::None;
    std::string LibraryPath;
    bool DebugOutput = false;
    bool Json = false;
    bool Help = false;
    bool Version = false;
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: radioctl [--dll PATH] [--debug-output] status|on|off\n"
                 "       radioctl [--dll PATH] [--json] doctor\n"
                 "       radioctl --version\n"
                 "  status          report whether the radio is on (IsBluetoothRadioEnabled)\n"
                 "  on, off         switch the radio (BluetoothEnableRadio)\n"
                 "  doctor          check, read-only, every link a switch depends on; exit code 1 when one is broken\n"
                 "  --dll PATH      the radio support library to load (default: %s beside radioctl)\n"
                 "  --debug-output  show the library's debug output as it is written\n"
                 "  --json          the doctor's report as one JSON document\n"
                 "  --version       print radioctl's name and version\n",
                 DefaultLibraryName);
}

// Returns false with a message on stderr when the arguments make no sense.
bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        Command command = Command::None;
        if (!lstrcmpiA(arg, "--help") || !lstrcmpiA(arg, "-h") || !lstrcmpiA(arg, "/?")) {
            options.Help = true;
            continue;
        } else if (!lstrcmpiA(arg, "--version")) {
            options.Version = true;
            continue;
        } else if (!lstrcmpiA(arg, "--debug-output")) {
            options.DebugOutput = true;
            continue;
        } else if (!lstrcmpiA(arg, "--json")) {
            options.Json = true;
            continue;
        } else if (!lstrcmpiA(arg, "--dll")) {
            if (++i == argc) {
                std::fprintf(stderr, "radioctl: --dll needs a path\n");
                return false;
            }
            options.LibraryPath = argv[i];
            continue;
        } else if (!lstrcmpiA(arg, "status")) {
            command = Command::Status;
        } else if (!lstrcmpiA(arg, "on")) {
            command = Command::On;
        } else if (!lstrcmpiA(arg, "off")) {
            command = Command::Off;
        } else if (!lstrcmpiA(arg, "doctor")) {
            command = Command::Doctor;
        } else {
            std::fprintf(stderr, "radioctl: unknown argument \"%s\"\n", arg);
            return false;
        }
        if (options.Action != Command::None) {
            std::fprintf(stderr, "radioctl: give one command only\n");
            return false;
        }
        options.Action = command;
    }
    if (options.Action == Command::None && !options.Help && !options.Version) {
        std::fprintf(stderr, "radioctl: no command given\n");
        return false;
    }
    // The report must stay one document, and the library's texts are not the doctor's.
    if (options.Json && options.Action != Command::Doctor && !options.Help) {
        std::fprintf(stderr, "radioctl: --json goes with doctor only\n");
        return false;
    }
    if (options.DebugOutput && options.Action == Command::Doctor) {
        std::fprintf(stderr, "radioctl: --debug-output goes with status, on and off only\n");
        return false;
    }
    return true;
}

const char* ResultName(DWORD result) {
    switch (result) {
    case ERROR_SUCCESS: return "ERROR_SUCCESS";
    case ERROR_INVALID_PARAMETER: return "ERROR_INVALID_PARAMETER";
    case ERROR_FUNCTION_FAILED: return "ERROR_FUNCTION_FAILED";
    default: return "unexpected result";
    }
}

// Debug output arrives as DBG_PRINTEXCEPTION_C (or its wide form on newer systems);
// echoing it here shows the library's texts in order without a debugger.
LONG CALLBACK EchoDebugOutput(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    const auto length = static_cast<size_t>(record->ExceptionInformation[0]);
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C) {
        std::fwrite(reinterpret_cast<const char*>(record->ExceptionInformation[1]), 1, length ? length - 1 : 0,
                    stdout);
    } else if (record->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
        std::fprintf(stdout, "%.*ls", static_cast<int>(length ? length - 1 : 0),
                     reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    std::fflush(stdout);
    return EXCEPTION_CONTINUE_EXECUTION;
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int RunDoctorCommand(const std::string& libraryPath, bool json) {
    // The time the report is taken, before its checks (the pipe's may wait 5 s).
    const ReportHeader header = DescribeThisReport();
    const std::vector<LinkReport> links = RunDoctor(libraryPath);
    if (json)
        WriteReportJson(stdout, header, links);
    else
        WriteReportTable(stdout, header, links);
    std::fflush(stdout);
    return AnyBroken(links) ? ExitFailed : 0;
}

int Run(const Options& options) {
    const std::string path = options.LibraryPath.empty() ? DefaultLibraryPath() : options.LibraryPath;
    if (options.Action == Command::Doctor) return RunDoctorCommand(path, options.Json);
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        DWORD error = GetLastError();
        if (error == ERROR_MOD_NOT_FOUND) {
            std::fprintf(stderr, "radioctl: %s not found\n", path.c_str());
            return ExitUnavailable;
        }
        std::fprintf(stderr, "radioctl: cannot load %s: error %lu (%s)\n", path.c_str(), error,
                     SystemMessage(error).c_str());
        if (error == ERROR_DLL_INIT_FAILED)
            std::fprintf(stderr,
                         "radioctl: the library refuses to load when it cannot open HKEY_LOCAL_MACHINE\\SYSTEM\\"
                         "CurrentControlSet\\services\\BTHPORT\\Parameters\\Radio Support with the right to set "
                         "values: check that the key exists and that this account may write it\n");
        return ExitUnavailable;
    }
    std::printf("radioctl: loaded %s\n", path.c_str());

    const char* exportName = options.Action == Command::Status ? "IsBluetoothRadioEnabled" : "BluetoothEnableRadio";
    FARPROC entry = GetProcAddress(library, exportName);
    if (!entry) {
        std::fprintf(stderr, "radioctl: %s does not export %s\n", path.c_str(), exportName);
        FreeLibrary(library);
        return ExitUnavailable;
    }

    LARGE_INTEGER start, end;
    DWORD result;
    BOOL state = FALSE;
    QueryPerformanceCounter(&start);
    if (options.Action == Command::Status) {
        result = reinterpret_cast<IsBluetoothRadioEnabledFn>(reinterpret_cast<void*>(entry))(&state);
    } else {
        result = reinterpret_cast<BluetoothEnableRadioFn>(reinterpret_cast<void*>(entry))(options.Action == Command::On);
    }
    QueryPerformanceCounter(&end);

    if (options.Action == Command::Status) {
        std::printf("IsBluetoothRadioEnabled -> %lu (%s) in %.1f ms\n", result, ResultName(result),
                    Milliseconds(start, end));
        if (result == ERROR_SUCCESS) std::printf("radio is %s (state %d)\n", state ? "on" : "off", state);
    } else {
        const int requested = options.Action == Command::On;
        std::printf("BluetoothEnableRadio(%d) -> %lu (%s) in %.1f ms\n", requested, result, ResultName(result),
                    Milliseconds(start, end));
        if (result == ERROR_SUCCESS) std::printf("radio switched %s\n", requested ? "on" : "off");
    }
    std::fflush(stdout);
    FreeLibrary(library);
    return result == ERROR_SUCCESS ? 0 : ExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    if (options.Help) {
        PrintUsage(stdout);
        return 0;
    }
    if (options.Version) {
        std::printf("%s %s\n", RadioctlName, ToolVersion());
        return 0;
    }
    PVOID handler = options.DebugOutput ? AddVectoredExceptionHandler(1, EchoDebugOutput) : nullptr;
    int status = Run(options);
    if (handler) RemoveVectoredExceptionHandler(handler);
    return status;
}
