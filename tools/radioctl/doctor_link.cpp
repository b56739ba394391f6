#include "doctor_link.h"

#include "radio_state_value.h"
#include "tool_environment.h"

bool RadioStateReading::AcceptedByLibrary() const {
    return KeyStatus == ERROR_SUCCESS && ValueStatus == ERROR_SUCCESS && HoldsRadioState(Type, Size);
}

bool CanJudgeRefusals() {
    const TokenFacts token = ToolPlatform.ReadTokenFacts();
    return token.Elevated || token.LocalSystem;
}

bool AnyBroken(const std::vector<LinkReport>& links) {
    for (const LinkReport& link : links)
        if (link.Status == LinkStatus::Broken) return true;
    return false;
}
