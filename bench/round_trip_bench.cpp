// One request round trip to the shipped service, paused so that a request returns at
// once: with a fresh binding per request as the library makes it, and on one binding
// kept for every call.
#include <cstdio>

#include "bench_support.h"
#include "exception_guard.h"
#include "radio_control.h"
#include "request_client.h"

namespace {

constexpr int Blocks = 10;
constexpr int CallsPerBlock = 20;
constexpr int Calls = Blocks * CallsPerBlock;

struct Call {
    handle_t Binding;
};

void CallEnable(void* context) { RequestRadioSwitch(static_cast<Call*>(context)->Binding, EnableRadioRequest); }

RPC_CSTR AsRpcString(const char* text) { return reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)); }

handle_t Bind() {
    RPC_CSTR text = nullptr;
    RPC_STATUS status = RpcStringBindingComposeA(nullptr, AsRpcString(RadioControlProtocolSequence), nullptr,
                                                 AsRpcString(RadioControlEndpoint), nullptr, &text);
    if (status != RPC_S_OK) Fail("RpcStringBindingComposeA", status);
    handle_t binding = nullptr;
    status = RpcBindingFromStringBindingA(text, &binding);
    RpcStringFreeA(&text);
    if (status != RPC_S_OK) Fail("RpcBindingFromStringBindingA", status);
    return binding;
}

void Request(handle_t binding) {
    Call call{binding};
    DWORD code = 0;
    if (!CallWithExceptionGuard(CallEnable, &call, nullptr, &code)) Fail("RequestRadioSwitch raised", code);
}

// Compose, bind, call, free: the library's steps without its reports; also the
// three parts (the first call on a binding opens the pipe and binds the interface).
struct FreshTiming {
    double TotalMs, BindMs, CallMs, FreeMs;
};

FreshTiming FreshBinding() {
    const double start = NowMs();
    handle_t binding = Bind();
    const double bound = NowMs();
    Request(binding);
    const double called = NowMs();
    RpcBindingFree(&binding);
    const double end = NowMs();
    return {end - start, bound - start, called - bound, end - called};
}

double LibraryRequestMs() {
    const double start = NowMs();
    const DWORD result = EnableDisableUSBBtDevice(1);
    const double elapsed = NowMs() - start;
    if (result != 0) Fail("EnableDisableUSBBtDevice", result);
    return elapsed;
}

}  // namespace

int main() {
    PrepareRadioSupportKey(1);
    BenchService service(ServicePath());
    service.StartServing();
    // Paused, the service answers a switch request without touching the radio.
    service.Control(SERVICE_CONTROL_PAUSE, SERVICE_PAUSED);

    for (int i = 0; i < 10; ++i) FreshBinding();  // warm-up
    // The ways take turns, in blocks, so that a change in the machine's load weighs on
    // all of them alike. No binding may stay open while fresh ones are measured: the
    // runtime would lend them the open binding's connection, which the library, with
    // no other binding, never has.
    std::vector<double> fresh, bind, firstCall, release, library, reused;
    for (int block = 0; block < Blocks; ++block) {
        for (int i = 0; i < CallsPerBlock; ++i) {
            const FreshTiming timing = FreshBinding();
            fresh.push_back(timing.TotalMs);
            bind.push_back(timing.BindMs);
            firstCall.push_back(timing.CallMs);
            release.push_back(timing.FreeMs);
            library.push_back(LibraryRequestMs());
        }
        handle_t binding = Bind();
        Request(binding);  // opens the connection
        for (int i = 0; i < CallsPerBlock; ++i) {
            const double start = NowMs();
            Request(binding);
            reused.push_back(NowMs() - start);
        }
        RpcBindingFree(&binding);
    }

    const double freshMedian = Median(fresh), libraryMedian = Median(library), reusedMedian = Median(reused);
    std::printf("  medians of %d calls each: fresh binding %.3f ms; the library's request client %.3f ms;"
                " reused binding %.3f ms\n",
                Calls, freshMedian, libraryMedian, reusedMedian);
    std::printf("  fresh binding, medians: compose and bind %.3f ms, the call (opens the pipe, binds the interface)"
                " %.3f ms, RpcBindingFree %.3f ms\n",
                Median(bind), Median(firstCall), Median(release));
    PrintRow("request round trip, fresh binding per request (compose, bind, call, free)", "",
             Format("%.3f ms", freshMedian));
    PrintRow("the same through the library's request client (with its reports)", "",
             Format("%.3f ms", libraryMedian));
    PrintRow("raw round trip on a reused binding", "",
             Format("%.3f ms (fresh/reused %.1fx)", reusedMedian, freshMedian / reusedMedian));
    return 0;
}
