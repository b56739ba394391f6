#include "radio_library.h"

#include "test_paths.h"

namespace {

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

RadioLibrary::RadioLibrary() : module_(LoadLibraryA(LibraryPath().c_str())) {
    if (!module_) {
        loadError_ = GetLastError();
        return;
    }
    enableRadio_ = Export<EnableRadioFunction>(module_, "BluetoothEnableRadio");
    isEnabled_ = Export<IsEnabledFunction>(module_, "IsBluetoothRadioEnabled");
}

RadioLibrary::~RadioLibrary() {
    if (module_) FreeLibrary(module_);
}

long long RadioLibrary::Enabled() const {
    BOOL enabled = 7;
    return IsEnabled(&enabled) == ERROR_SUCCESS ? enabled : -1;
}
