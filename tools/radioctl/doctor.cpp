#include "doctor.h"

std::vector<LinkReport> RunDoctor(const std::string& libraryPath) {
    const RadioStateReading state = ReadRadioStateValue();
    return {
        CheckRadioSupportKey(), CheckStateValue(state), CheckLibrary(libraryPath),
        CheckService(),         CheckPipe(),            CheckDeviceNodes(),
        CheckPortInterface(state), CheckRemoteWake(),   CheckTracing(),
    };
}
