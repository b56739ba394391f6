// A stand-in for the service's side of RadioControlInterface, built from the real
// server stub: serves the real endpoint and records what arrives.
// Usage: radio_test_server LOG_FILE READY_EVENT [DELAY_MS [write-state]]
// Signals READY_EVENT once listening. When listening ends (opnum 1) it writes LOG_FILE:
// "server 32|64", then one "request HEX" line per opnum 0 call (the received bytes
// before the terminator), "overlap" for a request that arrived while another was still
// being held, and "stop" for opnum 1. Every request is held DELAY_MS. With write-state,
// a request then sets ZentRadioState to 1 (enable) or 0 (disable) before it returns,
// as the service does once the radio has switched.
// The exit code is 0, or the RPC status of the step that failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "radio_control.h"

namespace {

// The contract's names, written out here so that the client's are checked against them.
constexpr char Endpoint[] = "\\pipe\\ZkBtRcIf";
constexpr char KeyPath[] = "SYSTEM\\CurrentControlSet\\services\\BTHPORT\\Parameters\\Radio Support";

std::mutex logLock;
std::vector<std::string> logLines;
DWORD requestDelay;
bool writeState;
volatile LONG requestsInProgress;

void Record(std::string line) {
    std::lock_guard<std::mutex> lock(logLock);
    logLines.push_back(std::move(line));
}

std::string Hex(const char* text) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char* c = text; *c; ++c) {
        hex += digits[static_cast<unsigned char>(*c) >> 4];
        hex += digits[static_cast<unsigned char>(*c) & 15];
    }
    return hex;
}

RPC_CSTR AsRpcString(const char* text) { return reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)); }

void WriteRadioState(DWORD state) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        Record("state not written");
        return;
    }
    if (RegSetValueExA(key, "ZentRadioState", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state), sizeof state) !=
        ERROR_SUCCESS)
        Record("state not written");
    RegCloseKey(key);
}

}  // namespace

void RequestRadioSwitch(handle_t, const char* request) {
    Record("request " + Hex(request));
    if (InterlockedIncrement(&requestsInProgress) > 1) Record("overlap");
    if (requestDelay) Sleep(requestDelay);
    if (writeState) {
        if (lstrcmpiA(request, "EnableZentBtRadio") == 0) WriteRadioState(1);
        else if (lstrcmpiA(request, "DisableZentBtRadio") == 0) WriteRadioState(0);
    }
    InterlockedDecrement(&requestsInProgress);
}

// As the service does it: stop listening, then unregister without waiting for calls.
void StopRadioControlServer(handle_t) {
    Record("stop");
    RpcMgmtStopServerListening(nullptr);
    RpcServerUnregisterIf(nullptr, nullptr, FALSE);
}

int main(int argc, char** argv) {
    if (argc < 3) return 87;
    if (argc > 3) requestDelay = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    if (argc > 4) writeState = std::strcmp(argv[4], "write-state") == 0;
    Record(sizeof(void*) == 8 ? "server 64" : "server 32");

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready) return static_cast<int>(GetLastError());
    RPC_STATUS status = RpcServerUseProtseqEpA(AsRpcString("ncacn_np"), 1234, AsRpcString(Endpoint), nullptr);
    if (status == RPC_S_OK) status = RpcServerRegisterIf(RadioControlInterface_v1_0_s_ifspec, nullptr, nullptr);
    if (status == RPC_S_OK) status = RpcServerListen(1, 1234, TRUE);
    if (status != RPC_S_OK) return static_cast<int>(status);
    SetEvent(ready);
    CloseHandle(ready);
    status = RpcMgmtWaitServerListen();

    FILE* log = std::fopen(argv[1], "wb");
    if (!log) return ERROR_OPEN_FAILED;
    std::lock_guard<std::mutex> lock(logLock);
    for (const std::string& line : logLines) std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
    return static_cast<int>(status);
}
