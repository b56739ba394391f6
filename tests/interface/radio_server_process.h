// Runs radio_test_server (this bitness's or the other's) as a separate process, and
// gives tests a binding to the real endpoint.
#pragma once

#include <windows.h>
#include <rpc.h>

#include <string>
#include <vector>

// The helper beside this test program, and the other bitness's build of it; the
// latter is empty when that build is missing or cannot run here.
std::string TestServerPath();
std::string PeerTestServerPath();
inline constexpr int TestBits = sizeof(void*) * 8;

// Whether the server sets ZentRadioState for each request before it answers, as the
// service does once the radio has switched (1 for enable, 0 for disable).
enum class RadioStateWrites { Never, BeforeAnswer };

class RadioServerProcess {
public:
    // Starts the server and waits until it listens; check Listening(). Every request is
    // held requestDelayMs.
    explicit RadioServerProcess(const std::string& executable, DWORD requestDelayMs = 0,
                                RadioStateWrites writes = RadioStateWrites::Never);
    // Ends a server that is still running.
    ~RadioServerProcess();
    RadioServerProcess(const RadioServerProcess&) = delete;
    RadioServerProcess& operator=(const RadioServerProcess&) = delete;

    bool Listening() const { return listening_; }
    // Waits for the process to end on its own (after opnum 1); false on time-out.
    bool WaitForExit(DWORD timeoutMs = 10000);
    // Ends the server at once, as a crash would.
    void Terminate();
    DWORD ExitCode() const;
    // What the server wrote when it ended: "server N", "request ..." (decoded),
    // "overlap" (a request arrived while another was held), "stop".
    std::vector<std::string> Log() const;
    // Just the received request strings, decoded.
    std::vector<std::string> Requests() const;

private:
    PROCESS_INFORMATION process_{};
    std::string logPath_;
    bool listening_ = false;
};

// Sends opnum 1 on a binding of its own, which is freed before this returns; a server
// that is gone already is ignored.
void StopRadioTestServer();

// A binding to "\pipe\ZkBtRcIf" on this machine, freed on scope exit.
class ScopedRadioBinding {
public:
    ScopedRadioBinding();
    ~ScopedRadioBinding();
    ScopedRadioBinding(const ScopedRadioBinding&) = delete;
    ScopedRadioBinding& operator=(const ScopedRadioBinding&) = delete;
    handle_t Get() const { return binding_; }

private:
    handle_t binding_ = nullptr;
};

// Committed private memory of this process, or of another one opened with
// PROCESS_QUERY_INFORMATION; Wine's process memory counters stay 0.
SIZE_T CommittedPrivateBytes(HANDLE process = GetCurrentProcess());
// A proxy for the handle count, which Wine does not report: the value of a new handle
// grows when handles leak, since freed slots are reused first. Another process must be
// opened with PROCESS_DUP_HANDLE: the probe is a handle duplicated into it and closed again.
ULONG_PTR NextHandleValue(HANDLE process = GetCurrentProcess());
