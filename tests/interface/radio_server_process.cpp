#include "radio_server_process.h"

#include <cstdio>

#include "exception_guard.h"
#include "radio_contract.h"
#include "radio_control.h"
#include "run_program.h"
#include "test_paths.h"

namespace {

std::string Decode(const std::string& hex) {
    std::string text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

std::string UniqueName(const char* what) {
    static LONG counter;
    return std::string("radio_test_server_") + what + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(InterlockedIncrement(&counter));
}

RPC_CSTR AsRpcString(const char* text) { return reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)); }

}  // namespace

std::string TestServerPath() { return BinaryDirectory() + "radio_test_server.exe"; }

std::string PeerTestServerPath() { return PeerFile("radio_test_server.exe"); }

RadioServerProcess::RadioServerProcess(const std::string& executable, DWORD requestDelayMs,
                                       RadioStateWrites writes) {
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    logPath_ = std::string(directory) + UniqueName("log") + ".txt";
    const std::string eventName = UniqueName("ready");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    std::string command = "\"" + executable + "\" \"" + logPath_ + "\" " + eventName + " " + std::to_string(requestDelayMs);
    if (writes == RadioStateWrites::BeforeAnswer) command += " write-state";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (ready && StartProcess(executable.c_str(), command, FALSE, startup, process_)) {
        const HANDLE waits[] = {ready, process_.hProcess};
        listening_ = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    }
    if (ready) CloseHandle(ready);
}

RadioServerProcess::~RadioServerProcess() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    DeleteFileA(logPath_.c_str());
}

bool RadioServerProcess::WaitForExit(DWORD timeoutMs) {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void RadioServerProcess::Terminate() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
}

DWORD RadioServerProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::vector<std::string> RadioServerProcess::Log() const {
    std::vector<std::string> lines;
    FILE* log = std::fopen(logPath_.c_str(), "rb");
    if (!log) return lines;
    std::string line;
    for (int c; (c = std::fgetc(log)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        static constexpr char requestTag[] = "request ";
        lines.push_back(line.rfind(requestTag, 0) == 0 ? requestTag + Decode(line.substr(sizeof requestTag - 1)) : line);
        line.clear();
    }
    std::fclose(log);
    return lines;
}

std::vector<std::string> RadioServerProcess::Requests() const {
    std::vector<std::string> requests;
    for (const std::string& line : Log())
        if (line.rfind("request ", 0) == 0) requests.push_back(line.substr(8));
    return requests;
}

void StopRadioTestServer() {
    ScopedRadioBinding binding;
    CallWithExceptionGuard([](void* handle) { StopRadioControlServer(static_cast<handle_t>(handle)); },
                           binding.Get());
}

ScopedRadioBinding::ScopedRadioBinding() {
    RPC_CSTR text = nullptr;
    if (RpcStringBindingComposeA(nullptr, AsRpcString("ncacn_np"), nullptr, AsRpcString("\\pipe\\ZkBtRcIf"), nullptr,
                                 &text) != RPC_S_OK)
        return;
    if (RpcBindingFromStringBindingA(text, &binding_) != RPC_S_OK) binding_ = nullptr;
    RpcStringFreeA(&text);
}

ScopedRadioBinding::~ScopedRadioBinding() {
    if (binding_) RpcBindingFree(&binding_);
}

SIZE_T CommittedPrivateBytes(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr; VirtualQueryEx(process, address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    }
    return total;
}

ULONG_PTR NextHandleValue(HANDLE process) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (process == GetCurrentProcess()) {
        CloseHandle(event);
        return reinterpret_cast<ULONG_PTR>(event);
    }
    HANDLE there = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), event, process, &there, 0, FALSE, DUPLICATE_SAME_ACCESS)) there = nullptr;
    CloseHandle(event);
    if (there) DuplicateHandle(process, there, nullptr, nullptr, 0, FALSE, DUPLICATE_CLOSE_SOURCE);
    return reinterpret_cast<ULONG_PTR>(there);
}
