// The radio's Radio Support key in the test prefix's real registry.
#pragma once

#include <windows.h>

#include <string>

void CreateRadioSupportKey();
// Removes the key with its values; nothing happens if it is absent.
void DeleteRadioSupportKey();
bool RadioSupportKeyExists();
// Replaces the key's DACL with an SDDL string, e.g. read-only access for everyone.
void SetRadioSupportKeySecurity(const char* sddl);

void SetRadioStateValue(DWORD type, const void* data, DWORD size);
void SetRadioState(DWORD value);
void DeleteRadioStateValue();
// The stored value, or -1 when it is missing or not a 4-byte REG_DWORD.
long long ReadRadioState();

// A present key for the test's duration, with no ZentRadioState value; removed afterwards.
class ScopedRadioSupportKey {
public:
    ScopedRadioSupportKey() { DeleteRadioSupportKey(); CreateRadioSupportKey(); }
    ~ScopedRadioSupportKey() { DeleteRadioSupportKey(); }
    ScopedRadioSupportKey(const ScopedRadioSupportKey&) = delete;
    ScopedRadioSupportKey& operator=(const ScopedRadioSupportKey&) = delete;
};
