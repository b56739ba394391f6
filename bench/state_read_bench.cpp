// IsBluetoothRadioEnabled of the real DLL per call, beside a bare RegQueryValueExA of
// the same value on a key kept open.
#include <cstdio>

#include "bench_support.h"
#include "radio_contract.h"

namespace {

using IsEnabledFunction = DWORD(WINAPI*)(BOOL*);

constexpr int Batches = 20;
constexpr int CallsPerBatch = 200;

// Microseconds per call of one batch.
template <typename Operation>
double BatchUs(Operation operation) {
    const double start = NowMs();
    for (int i = 0; i < CallsPerBatch; ++i) operation();
    return (NowMs() - start) * 1000.0 / CallsPerBatch;
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

    auto callExport = [&] {
        BOOL enabled = FALSE;
        if (isEnabled(&enabled) != ERROR_SUCCESS || enabled != 1) Fail("IsBluetoothRadioEnabled", enabled);
    };
    auto readValue = [&] {
        DWORD value = 0, type = 0, size = sizeof value;
        LSTATUS read = RegQueryValueExA(key, RadioStateValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        if (read != ERROR_SUCCESS || value != 1) Fail("RegQueryValueExA", read);
    };
    // The export writes three debug texts per call (entry, value read, answer), each as
    // the prefix and then the text: six OutputDebugStringA calls.
    auto writeText = [] { OutputDebugStringA("IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n"); };
    // The three take turns batch by batch, so that a change in the machine's load
    // weighs on all of them alike.
    std::vector<double> exportBatches, registryBatches, textBatches;
    for (int batch = 0; batch < Batches; ++batch) {
        exportBatches.push_back(BatchUs(callExport));
        registryBatches.push_back(BatchUs(readValue));
        textBatches.push_back(BatchUs(writeText));
    }
    const double exportUs = Median(exportBatches), registryUs = Median(registryBatches),
                 debugTextUs = Median(textBatches);
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
