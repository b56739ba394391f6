// The radio support DLL of this bitness as the platform loads it: LoadLibrary, and the
// two exports by name. Unloaded at the end.
#pragma once

#include <windows.h>

class RadioLibrary {
public:
    RadioLibrary();
    ~RadioLibrary();
    RadioLibrary(const RadioLibrary&) = delete;
    RadioLibrary& operator=(const RadioLibrary&) = delete;

    // False when the DLL did not load or lacks an export (LoadError() says why).
    bool Loaded() const { return enableRadio_ && isEnabled_; }
    DWORD LoadError() const { return loadError_; }

    DWORD EnableRadio(BOOL enable) const { return enableRadio_(enable); }
    DWORD IsEnabled(BOOL* enabled) const { return isEnabled_(enabled); }
    // IsBluetoothRadioEnabled's answer, or -1 when it fails.
    long long Enabled() const;

private:
    using EnableRadioFunction = DWORD(WINAPI*)(BOOL);
    using IsEnabledFunction = DWORD(WINAPI*)(BOOL*);
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
    EnableRadioFunction enableRadio_ = nullptr;
    IsEnabledFunction isEnabled_ = nullptr;
};
