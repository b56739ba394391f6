#include "doctor.h"

#include "tool_environment.h"

bool CanJudgeRefusals() {
    const TokenFacts token = ToolPlatform.ReadTokenFacts();
    return token.Elevated || token.LocalSystem;
}

std::vector<LinkReport> RunDoctor(const std::string& libraryPath) {
    const RadioStateReading state = ReadRadioStateValue();
    return {
        CheckRadioSupportKey(), CheckStateValue(state), CheckLibrary(libraryPath),
        CheckService(),         CheckPipe(),            CheckDeviceNodes(),
        CheckPortInterface(state), CheckRemoteWake(),   CheckTracing(),
    };
}

bool AnyBroken(const std::vector<LinkReport>& links) {
    for (const LinkReport& link : links)
        if (link.Status == LinkStatus::Broken) return true;
    return false;
}
