// IsBluetoothRadioEnabled of the real DLL per call, beside a bare RegQueryValueExA of
// the same value on a key kept open.
#include <cstdio>

#include "bench_support.h"
#include "radio_contract.h"

namespace {

using IsEnabledFunction = DWORD(WINAPI*)(BOOL*);

constexpr int Batches = 20;
constexpr int CallsPerBatch = 200;

// Median over batches of the time per call.
template <typename Operation>
double PerCallUs(Operation operation) {
    std::vector<double> perCall;
    for (int batch = 0; batch < Batches; ++batch) {
        const double start = NowMs();
        for (int i = 0; i < CallsPerBatch; ++i) operation();
        perCall.push_back((NowMs() - start) * 1000.0 / CallsPerBatch);
    }
    return Median(perCall);
}

}  // namespace

int main() {
    PrepareRadioSupportKey(1);
    HMODULE library = LoadLibraryA(LibraryPath().c_str());
    if (!library) Fail("LoadLibraryA", GetLastError());
    auto isEnabled = reinterpret_cast<IsEnabledFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "IsBluetoothRadioEnabled")));
    if (!isEnabled) Fail("GetProcAddress", GetLastError());

    HKEY key;
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) Fail("RegOpenKeyExA", status);

    const double exportUs = PerCallUs([&] {
        BOOL enabled = FALSE;
        if (isEnabled(&enabled) != ERROR_SUCCESS || enabled != 1) Fail("IsBluetoothRadioEnabled", enabled);
    });
    const double registryUs = PerCallUs([&] {
        DWORD value = 0, type = 0, size = sizeof value;
        LSTATUS read = RegQueryValueExA(key, RadioStateValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        if (read != ERROR_SUCCESS || value != 1) Fail("RegQueryValueExA", read);
    });
    // The export writes three debug texts per call (entry, value read, answer), each as
    // the prefix and then the text: six OutputDebugStringA calls.
    const double debugTextUs = PerCallUs([] { OutputDebugStringA("IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n"); });
    RegCloseKey(key);
    FreeLibrary(library);

    std::printf("  IsBluetoothRadioEnabled %.2f us, RegQueryValueExA %.2f us, one OutputDebugStringA %.2f us"
                " (per call, median of %d batches of %d)\n",
                exportUs, registryUs, debugTextUs, Batches, CallsPerBatch);
    PrintRow("IsBluetoothRadioEnabled per call", "", Format("%.2f us", exportUs));
    PrintRow("bare RegQueryValueExA of ZentRadioState", "",
             Format("%.2f us (export/bare %.1fx)", registryUs, exportUs / registryUs));
    PrintRow("one OutputDebugStringA, no debugger attached (the export makes six)", "", Format("%.2f us", debugTextUs));
    return 0;
}
