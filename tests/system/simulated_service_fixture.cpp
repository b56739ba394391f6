#include "simulated_service_fixture.h"

#include <gtest/gtest.h>

#include "radio_control.h"
#include "simulated_radio_service.h"
#include "test_paths.h"

namespace {

constexpr char ServiceName[] = "Zentrik Bluetooth Radio Control Service";

constexpr char SimulatedServiceFile[] = "radioswitchsvcsim" RADIOSWITCH_IMAGE_SUFFIX ".exe";
// The other bitness of x64 and x86; ARM64 has none.
#ifdef _WIN64
constexpr char PeerSimulatedServiceFile[] = "radioswitchsvcsim.exe";
#else
constexpr char PeerSimulatedServiceFile[] = "radioswitchsvcsim64.exe";
#endif

}  // namespace

std::string SimulatedServicePath() { return BinaryDirectory() + SimulatedServiceFile; }
std::string PeerSimulatedServicePath() { return PeerFile(PeerSimulatedServiceFile); }
std::string SimulatedServicePathFor(const std::string& bitness) {
    return bitness == "peer" ? PeerSimulatedServicePath() : SimulatedServicePath();
}

long long SimulatedRadioSetting(const char* name) {
    constexpr DWORD missing = 0xDEADBEEF;
    DWORD value = ReadSimulatedRadioSetting(name, missing);
    return value == missing ? -1LL : static_cast<long long>(value);
}

bool WaitUntil(long long (*read)(), long long value, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); read() != value; Sleep(5))
        if (GetTickCount() - start > timeoutMs) return false;
    return true;
}

long long SimulatedRadioRunning() { return SimulatedRadioSetting(SimulatedRadioEnabledValue); }

bool WaitForRadioPipe(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!WaitNamedPipeA("\\\\.\\pipe\\ZkBtRcIf", 100)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

SimulatedService::SimulatedService(const std::string& path) : service_(ServiceName, path) {}

bool SimulatedService::StartServing() {
    if (!service_.Registered()) return false;
    DWORD error = service_.Start();
    EXPECT_EQ(error, DWORD{NO_ERROR}) << "StartServiceA";
    return error == NO_ERROR && WaitForRadioPipe(10000);
}

InFlight::InFlight(std::function<DWORD()> call)
    : thread_([this, call = std::move(call)] {
          const DWORD start = GetTickCount();
          result_ = call();
          elapsed_ = GetTickCount() - start;
      }) {}

DWORD TimedRequest(const char* request) {
    RadioBinding binding;
    const DWORD start = GetTickCount();
    RequestRadioSwitch(binding.Handle(), request);
    return GetTickCount() - start;
}

RadioBinding::RadioBinding() {
    RPC_CSTR text = nullptr;
    EXPECT_EQ(RpcStringBindingComposeA(nullptr, reinterpret_cast<RPC_CSTR>(const_cast<char*>("ncacn_np")),
                                       nullptr, reinterpret_cast<RPC_CSTR>(const_cast<char*>("\\pipe\\ZkBtRcIf")),
                                       nullptr, &text),
              RPC_S_OK);
    EXPECT_EQ(RpcBindingFromStringBindingA(text, &handle_), RPC_S_OK);
    RpcStringFreeA(&text);
}

RadioBinding::~RadioBinding() {
    if (handle_) RpcBindingFree(&handle_);
}
