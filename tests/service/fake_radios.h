// The local Bluetooth radios as the service seam's four enumeration calls and its
// CloseHandle see them; records which radio handles were handed out and closed.
#pragma once

#include <windows.h>
#include <bluetoothapis.h>

#include <array>
#include <vector>

struct FakeRadio {
    std::array<BYTE, 6> Address;  // index 0 least significant, as the platform stores it
    DWORD InfoResult = ERROR_SUCCESS;
};

// An address whose bytes 5, 4, 3 are the given company identifier.
std::array<BYTE, 6> RadioAddress(BYTE company0, BYTE company1, BYTE company2);

class FakeRadios {
public:
    explicit FakeRadios(std::vector<FakeRadio> radios);
    ~FakeRadios();
    FakeRadios(const FakeRadios&) = delete;
    FakeRadios& operator=(const FakeRadios&) = delete;

    static HANDLE RadioHandle(size_t index);

    std::vector<FakeRadio> Radios;
    BOOL CloseResult = TRUE;
    int FindFirstCalls = 0;
    int InfoCalls = 0;
    bool SearchClosed = false;
    std::vector<HANDLE> Opened;  // radio handles handed out, in order
    std::vector<HANDLE> Closed;
    size_t Next = 0;  // index of the next radio to hand out
};
