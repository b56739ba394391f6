// The one rule that tells the radio's Bluetooth interface by its device path, for the
// wide paths of device events and the narrow ones of interface lists alike.
#pragma once

#include <cstddef>

// Interface 0 of the radio's USB device as it appears in a device path, after the
// four-character prefix ("\\?\") that begins every path.
inline constexpr char RadioDevicePathPattern[] = "USB#VID_7A5C&PID_0C31&MI_00";
inline constexpr size_t RadioDevicePathOffset = 4;
inline constexpr size_t RadioDevicePathPatternLength = sizeof RadioDevicePathPattern - 1;

// True when the path (length code units, not necessarily terminated) carries the
// pattern right after its prefix; what follows is not examined. Letters are compared
// without regard to ASCII case: the platform documents no case for device paths, and
// the same radio has been reported in both.
template <typename Char>
constexpr bool NamesRadioInterface(const Char* path, size_t length) {
    if (length < RadioDevicePathOffset + RadioDevicePathPatternLength) return false;
    for (size_t i = 0; i < RadioDevicePathPatternLength; ++i) {
        auto c = static_cast<unsigned long>(path[RadioDevicePathOffset + i]);
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        if (c != static_cast<unsigned char>(RadioDevicePathPattern[i])) return false;
    }
    return true;
}
