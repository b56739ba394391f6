// The service's links: its registration and state with the Service Control Manager,
// and whether its pipe answers a request that does nothing.
#include <cstring>
#include <memory>

#include "doctor_checks.h"
#include "exception_guard.h"
#include "radio_control.h"
#include "service_runtime.h"
#include "tool_environment.h"

namespace {

// The service ignores any string but the two requests and returns at once.
constexpr char IgnoredRequest[] = "";
constexpr DWORD PipeAnswerLimitMs = 5000;

struct ServiceHandle {
    SC_HANDLE Handle = nullptr;
    ~ServiceHandle() { if (Handle) CloseServiceHandle(Handle); }
};

LinkStatus Worse(LinkStatus a, LinkStatus b) { return a > b ? a : b; }

std::string ServiceNotOpened(DWORD error) {
    if (error == ERROR_ACCESS_DENIED) return "could not be checked without the right to query it (error 5)";
    return Format("could not be queried: error %lu (%s)", error, SystemMessage(error).c_str());
}

// The program path of a binary path: within its quotes, or all of it.
std::string ProgramPath(const std::string& binaryPath) {
    if (!binaryPath.empty() && binaryPath[0] == '"') {
        const size_t end = binaryPath.find('"', 1);
        return binaryPath.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    }
    return binaryPath;
}

// IMAGE_FILE_MACHINE_* from an image's file header; 0 with `error` set when the file cannot
// be read, or to ERROR_BAD_EXE_FORMAT when it is no Windows image.
WORD ImageMachine(const std::string& path, DWORD& error) {
    error = ERROR_SUCCESS;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return 0;
    }
    BYTE header[4096];
    DWORD read = 0;
    if (!ReadFile(file, header, sizeof header, &read, nullptr)) error = GetLastError();
    CloseHandle(file);
    if (error != ERROR_SUCCESS) return 0;
    IMAGE_DOS_HEADER dos;
    DWORD signature;
    IMAGE_FILE_HEADER fileHeader;
    error = ERROR_BAD_EXE_FORMAT;
    if (read < sizeof dos) return 0;
    std::memcpy(&dos, header, sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        static_cast<DWORD>(dos.e_lfanew) + sizeof signature + sizeof fileHeader > read)
        return 0;
    std::memcpy(&signature, header + dos.e_lfanew, sizeof signature);
    if (signature != IMAGE_NT_SIGNATURE) return 0;
    std::memcpy(&fileHeader, header + dos.e_lfanew + sizeof signature, sizeof fileHeader);
    error = ERROR_SUCCESS;
    return fileHeader.Machine;
}

// Whether the registered image can switch the radio on this Windows.
void JudgeImage(const std::string& program, LinkReport& link) {
    DWORD error;
    const WORD machine = ImageMachine(program, error);
    const USHORT native = ToolPlatform.NativeMachine();
    const bool nativeKnown = native != IMAGE_FILE_MACHINE_UNKNOWN;
    // Windows on Arm has a service of its own; x64 programs run there only emulated.
    const bool onArm = native == IMAGE_FILE_MACHINE_ARM64;
    if (machine == IMAGE_FILE_MACHINE_I386 && nativeKnown && native != IMAGE_FILE_MACHINE_I386) {
        link.Status = LinkStatus::Broken;
        link.Found += ", a 32-bit image on 64-bit Windows, where the class installer refuses every call from a 32-bit "
                      "process (ERROR_IN_WOW64): it cannot switch the radio";
        link.Remedy = Format("install the 64-bit service, elevated: radioswitchsvc.exe stop, radioswitchsvc.exe remove, "
                             "then %s install from the folder it is to run from",
                             onArm ? "radioswitchsvcarm64.exe" : "radioswitchsvc64.exe");
    } else if (machine == IMAGE_FILE_MACHINE_AMD64 && onArm) {
        link.Status = Worse(link.Status, LinkStatus::Warning);
        link.Found += ", an x64 image on Windows on Arm, which runs it emulated";
        link.Remedy = "install the ARM64 service, elevated: radioswitchsvc64.exe stop, radioswitchsvc64.exe remove, "
                      "then radioswitchsvcarm64.exe install from the folder it is to run from";
    } else if (machine == IMAGE_FILE_MACHINE_ARM64 && nativeKnown && !onArm) {
        link.Status = LinkStatus::Broken;
        link.Found += ", an ARM64 image, which only Windows on Arm runs";
        link.Remedy = Format("install the service of this Windows, elevated: radioswitchsvcarm64.exe remove, then %s "
                             "install from the folder it is to run from",
                             native == IMAGE_FILE_MACHINE_I386 ? "radioswitchsvc.exe" : "radioswitchsvc64.exe");
    } else if (machine == IMAGE_FILE_MACHINE_ARM64) {
        link.Found += ", ARM64 image";
    } else if (machine == IMAGE_FILE_MACHINE_AMD64 && native == IMAGE_FILE_MACHINE_I386) {
        link.Status = LinkStatus::Broken;
        link.Found += ", a 64-bit image, which 32-bit Windows cannot run";
        link.Remedy = "install the 32-bit service, elevated: radioswitchsvc64.exe stop, radioswitchsvc64.exe remove, "
                      "then radioswitchsvc.exe install from the folder it is to run from";
    } else if (machine == IMAGE_FILE_MACHINE_I386 || machine == IMAGE_FILE_MACHINE_AMD64) {
        link.Found += machine == IMAGE_FILE_MACHINE_I386 ? ", 32-bit image" : ", 64-bit image";
    } else if (error == ERROR_BAD_EXE_FORMAT) {
        link.Status = LinkStatus::Broken;
        link.Found += ", which is no Windows program";
    } else if (error != ERROR_SUCCESS) {
        link.Status = Worse(link.Status, LinkStatus::Warning);
        link.Found += Format(", whose image type could not be read: error %lu (%s)", error, SystemMessage(error).c_str());
    } else {
        link.Found += Format(", an image for machine type 0x%04X", machine);
    }
}

void JudgeConfiguration(const QUERY_SERVICE_CONFIGA& config, LinkReport& link) {
    const std::string binaryPath = config.lpBinaryPathName ? config.lpBinaryPathName : "";
    const std::string program = ProgramPath(binaryPath);
    const DWORD attributes = GetFileAttributesA(program.c_str());
    const bool fileThere = !program.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
                           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    link.Found += "binary path " + binaryPath + (fileThere ? " (file present)" : " (no such file)");
    if (fileThere)
        JudgeImage(program, link);
    else
        link.Status = LinkStatus::Broken;
    if (binaryPath[0] != '"' && binaryPath.find(' ') != std::string::npos) {
        link.Status = Worse(link.Status, LinkStatus::Warning);
        link.Found += ", unquoted although it has a space (a program planted on its prefix would run instead)";
    }

    const bool ownProcess = (config.dwServiceType & SERVICE_WIN32) == SERVICE_WIN32_OWN_PROCESS;
    link.Found += ownProcess ? ", own process" : Format(", service type 0x%lX, not own process", config.dwServiceType);
    if (!ownProcess) link.Status = Worse(link.Status, LinkStatus::Warning);

    constexpr const char* startTypes[] = {"boot start", "system start", "automatic start", "demand start",
                                          "disabled"};
    link.Found += std::string(", ") + (config.dwStartType < 5 ? startTypes[config.dwStartType] : "unknown start type");
    if (config.dwStartType == SERVICE_DISABLED) link.Status = LinkStatus::Broken;
    else if (config.dwStartType != SERVICE_AUTO_START) link.Status = Worse(link.Status, LinkStatus::Warning);

    const std::string account = config.lpServiceStartName ? config.lpServiceStartName : "";
    const bool localSystem = account.empty() || !lstrcmpiA(account.c_str(), "LocalSystem") ||
                             !lstrcmpiA(account.c_str(), ".\\LocalSystem");
    link.Found += localSystem ? ", local system" : ", account " + account + ", not local system";
    if (!localSystem) link.Status = Worse(link.Status, LinkStatus::Warning);
}

struct PipeProbe {
    double Milliseconds = 0;
    RPC_STATUS Status = RPC_S_OK;  // of binding, or the code the call raised
    bool Raised = false;
};

RPC_CSTR AsRpcString(const char* text) { return reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)); }

void CallIgnoredRequest(void* binding) { ToolPlatform.RequestRadioSwitch(static_cast<handle_t>(binding), IgnoredRequest); }

// Runs on a thread of its own, so that a call that never returns cannot hold the
// report; the probe then outlives the doctor's wait.
DWORD WINAPI ProbePipe(void* context) {
    auto* probe = static_cast<PipeProbe*>(context);
    RPC_CSTR stringBinding = nullptr;
    handle_t binding = nullptr;
    probe->Status = RpcStringBindingComposeA(nullptr, AsRpcString(RadioControlProtocolSequence), nullptr,
                                             AsRpcString(RadioControlEndpoint),
                                             AsRpcString(RadioControlNetworkOptions), &stringBinding);
    if (probe->Status == RPC_S_OK) probe->Status = RpcBindingFromStringBindingA(stringBinding, &binding);
    if (probe->Status == RPC_S_OK) {
        LARGE_INTEGER start, end, frequency;
        QueryPerformanceCounter(&start);
        DWORD code = 0;
        probe->Raised = !CallWithExceptionGuard(CallIgnoredRequest, binding, nullptr, &code);
        QueryPerformanceCounter(&end);
        QueryPerformanceFrequency(&frequency);
        probe->Status = static_cast<RPC_STATUS>(code);
        probe->Milliseconds = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
        RpcBindingFree(&binding);
    }
    if (stringBinding) RpcStringFreeA(&stringBinding);
    return 0;
}

// Access denied on the pipe means that this account lacks the right to it, or that
// another process owns the name; the server's process ID against the service's tells
// which, where Windows tells the server's.
void JudgeRefusedPipe(const std::string& endpoint, LinkReport& link) {
    const ServiceProcess service = QueryServiceProcess();
    ULONG server = 0;
    const DWORD asked = ToolPlatform.PipeServerProcessId(("\\\\." + endpoint).c_str(), &server);
    const bool serverKnown = asked == ERROR_SUCCESS && server != 0;
    link.Found = Format("access denied on %s (RPC status 5)", endpoint.c_str());
    if (service.Known && (serverKnown ? server != service.ProcessId : service.ProcessId == 0)) {
        link.Status = LinkStatus::Broken;
        if (service.ProcessId)
            link.Found += Format(": the pipe is served by process ID %lu, not by the service (process ID %lu)", server,
                                 service.ProcessId);
        else if (serverKnown)
            link.Found += Format(": the pipe is served by process ID %lu while the service does not run", server);
        else
            link.Found += ": another process serves the pipe, since the service does not run";
        link.Remedy = Format("another program has taken the service's pipe name, so the library's requests go to it: "
                             "find it (%s, or Sysinternals Handle: handle ZkBtRcIf, elevated), end or remove it, then "
                             "restart the service (sc stop, then sc start, elevated)",
                             serverKnown ? Format("tasklist /fi \"PID eq %lu\"", server).c_str() : "tasklist");
        return;
    }
    if (serverKnown && service.Known) {
        link.Found += Format(": the pipe is the service's own (process ID %lu), and this account lacks the right to it",
                             server);
        if (CanJudgeRefusals()) {
            link.Status = LinkStatus::Broken;
            link.Remedy = "the service leaves the pipe to the RPC runtime's default security, and this account, "
                          "elevated or local system, is refused all the same: restart the service (sc stop, then sc "
                          "start, elevated)";
        } else {
            link.Status = LinkStatus::Warning;
            link.Found += ", so the doctor could not judge whether the platform's process may use it";
            link.Remedy = RunElevated;
        }
        return;
    }
    link.Found += ": either this account lacks the right to the pipe, or another process owns the name; the doctor "
                  "could not tell which, since ";
    link.Found += !service.Known ? std::string("the Service Control Manager did not give the service's process ID")
                  : asked != ERROR_SUCCESS
                      ? Format("the pipe could not be asked for its server: error %lu (%s)", asked,
                               SystemMessage(asked).c_str())
                      : std::string("Windows did not tell the pipe's server process");
    link.Status = CanJudgeRefusals() ? LinkStatus::Broken : LinkStatus::Warning;
    link.Remedy = std::string("compare the process that serves the pipe (Sysinternals Handle: handle ZkBtRcIf, "
                              "elevated) with the service's process ID (sc queryex \"") +
                  RadioServiceName +
                  "\"): the same one means this account lacks the right to the pipe, another one has taken the "
                  "service's pipe name";
    if (link.Status == LinkStatus::Warning) link.Remedy += std::string("; ") + RunElevated;
}

}  // namespace

ServiceProcess QueryServiceProcess() {
    ServiceProcess process;
    ServiceHandle manager, service;
    manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager.Handle) return process;
    service.Handle = OpenServiceA(manager.Handle, RadioServiceName, SERVICE_QUERY_STATUS);
    if (!service.Handle) {
        process.Known = GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
        return process;
    }
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(service.Handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                             &needed)) {
        process.Known = true;
        process.ProcessId = status.dwCurrentState == SERVICE_STOPPED ? 0 : status.dwProcessId;
    }
    return process;
}

LinkReport CheckService() {
    LinkReport link{"service", LinkStatus::Ok, "", ""};
    const std::string name = std::string("\"") + RadioServiceName + "\"";
    ServiceHandle manager, service;
    manager.Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager.Handle) {
        link.Status = LinkStatus::Warning;
        link.Found = "the Service Control Manager " + ServiceNotOpened(GetLastError());
        return link;
    }
    service.Handle = OpenServiceA(manager.Handle, RadioServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    if (!service.Handle) {
        const DWORD error = GetLastError();
        link.Status = error == ERROR_SERVICE_DOES_NOT_EXIST ? LinkStatus::Broken : LinkStatus::Warning;
        link.Found = name + (error == ERROR_SERVICE_DOES_NOT_EXIST ? " is not registered" : " " + ServiceNotOpened(error));
        if (error == ERROR_SERVICE_DOES_NOT_EXIST)
            link.Remedy = Format("from an elevated prompt, in the folder the service program is to run from: %s install",
                                 ServiceProgramName);
        return link;
    }

    link.Found = name + ": ";
    DWORD needed = 0;
    QueryServiceConfigA(service.Handle, nullptr, 0, &needed);
    std::unique_ptr<BYTE[]> configBuffer(new BYTE[needed ? needed : 1]);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(configBuffer.get());
    if (needed && QueryServiceConfigA(service.Handle, config, needed, &needed)) {
        JudgeConfiguration(*config, link);
    } else {
        link.Status = LinkStatus::Warning;
        link.Found += "configuration " + ServiceNotOpened(GetLastError());
    }
    const LinkStatus configuration = link.Status;

    SERVICE_STATUS_PROCESS status{};
    if (!QueryServiceStatusEx(service.Handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &needed)) {
        link.Status = Worse(link.Status, LinkStatus::Warning);
        link.Found += "; state " + ServiceNotOpened(GetLastError());
        return link;
    }
    // An image that cannot work here keeps its remedy: starting it would not help.
    std::string stateRemedy;
    switch (status.dwCurrentState) {
    case SERVICE_RUNNING:
        link.Found += Format("; running, process ID %lu", status.dwProcessId);
        break;
    case SERVICE_PAUSED:
        link.Status = LinkStatus::Broken;
        link.Found += Format("; paused, which means requests are ignored (process ID %lu)", status.dwProcessId);
        stateRemedy = std::string("continue it, elevated: sc continue ") + name;
        break;
    case SERVICE_STOPPED:
        link.Status = LinkStatus::Broken;
        link.Found += Format("; stopped (exit code %lu)", status.dwWin32ExitCode);
        stateRemedy = std::string("start it, elevated: sc start ") + name;
        stateRemedy += "; why a start failed: Get-WinEvent -ProviderName " + name + " (event 101)";
        break;
    default:
        link.Status = Worse(link.Status, LinkStatus::Warning);
        link.Found += Format("; changing state (%lu: start, stop, pause or continue pending), process ID %lu",
                             status.dwCurrentState, status.dwProcessId);
        stateRemedy = "run radioctl doctor again in a few seconds";
    }
    if (link.Remedy.empty()) link.Remedy = stateRemedy;
    if (configuration != LinkStatus::Ok && link.Remedy.empty())
        link.Remedy = Format("register it again, elevated, from the service program's folder: %s stop, %s remove, %s "
                             "install (install never changes a registered service)",
                             ServiceProgramName, ServiceProgramName, ServiceProgramName);
    return link;
}

LinkReport CheckPipe() {
    LinkReport link{"pipe", LinkStatus::Broken, "", ""};
    const std::string endpoint = RadioControlEndpoint;
    // Left to the thread if the call outlives the wait: the process ends with it.
    auto* probe = new PipeProbe;
    HANDLE thread = CreateThread(nullptr, 0, ProbePipe, probe, 0, nullptr);
    if (!thread) {
        link.Status = LinkStatus::Warning;
        link.Found = "not checked: no thread for the call";
        delete probe;
        return link;
    }
    const bool answered = WaitForSingleObject(thread, PipeAnswerLimitMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    if (!answered) {
        link.Found = Format("%s accepted the request but did not answer within %lu ms", endpoint.c_str(),
                            PipeAnswerLimitMs);
        link.Remedy = "the service is stuck: restart it (sc stop, then sc start, elevated)";
        return link;
    }
    if (!probe->Raised && probe->Status == RPC_S_OK) {
        link.Status = LinkStatus::Ok;
        link.Found = Format("a request that does nothing (the empty string) returned from %s in %.1f ms",
                            endpoint.c_str(), probe->Milliseconds);
    } else if (probe->Status == RPC_S_SERVER_UNAVAILABLE) {
        link.Found = Format("no server on %s (RPC status 1722): nothing listens", endpoint.c_str());
        link.Remedy = "the service serves the pipe while it runs: see service";
    } else if (probe->Status == ERROR_ACCESS_DENIED) {
        JudgeRefusedPipe(endpoint, link);
    } else {
        link.Found = Format("the call to %s failed: RPC status %ld (%s)", endpoint.c_str(),
                            static_cast<long>(probe->Status), SystemMessage(static_cast<DWORD>(probe->Status)).c_str());
        link.Remedy = "see service";
    }
    delete probe;
    return link;
}
