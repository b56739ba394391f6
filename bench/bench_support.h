// What every benchmark program shares: a clock, medians, the result rows that
// bench/run.sh gathers into its table, and the prefix set-up the programs need.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Milliseconds from the performance counter.
double NowMs();
double Median(std::vector<double> values);

// One line of the results table: what was measured, the target ("" when
// there is none) and the result. run.sh takes these lines; everything else a program
// prints is detail.
void PrintRow(const std::string& label, const std::string& target, const std::string& result);
// printf into a std::string.
std::string Format(const char* format, ...);
// Reports a failure that makes the benchmark meaningless and ends the program.
[[noreturn]] void Fail(const char* what, DWORD code);

std::string BinaryDirectory();
std::string LibraryPath();         // radioswitch64.dll / radioswitch.dll beside the program
std::string ServicePath();         // the shipped radioswitchsvc64.exe / radioswitchsvc.exe
std::string SimulatedServicePath();  // radioswitchsvcsim64.exe / radioswitchsvcsim.exe

// Creates the Radio Support key (the port driver's, absent in a fresh prefix) and
// sets ZentRadioState.
void PrepareRadioSupportKey(DWORD state);

// Waits until something listens on \pipe\ZkBtRcIf.
bool WaitForRadioPipe(DWORD timeoutMs);

// A service registered with the prefix's SCM under the real service name for the
// life of the object, then stopped and deleted.
class BenchService {
public:
    explicit BenchService(const std::string& binaryPath);
    ~BenchService();
    BenchService(const BenchService&) = delete;
    BenchService& operator=(const BenchService&) = delete;

    // Starts and waits until the pipe is served; ends the program when that fails.
    void StartServing();
    void Control(DWORD control, DWORD expectedState);
    DWORD ProcessId() const;

private:
    SERVICE_STATUS_PROCESS Query() const;
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};
