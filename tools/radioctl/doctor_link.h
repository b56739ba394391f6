// What every check of radioctl doctor shares: the report of one link, the reading of
// ZentRadioState that two links judge, and whether a refusal for lack of rights says
// anything on this run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class LinkStatus { Ok, Warning, Broken };

struct LinkReport {
    const char* Link;    // the link's name in the JSON form
    LinkStatus Status;
    std::string Found;
    std::string Remedy;  // empty when there is nothing to do
};

bool AnyBroken(const std::vector<LinkReport>& links);

// ZentRadioState as it stands, read once and shared by the links that judge it.
struct RadioStateReading {
    LSTATUS KeyStatus = ERROR_SUCCESS;    // opening the key for reading
    LSTATUS ValueStatus = ERROR_SUCCESS;  // reading the value (ERROR_FILE_NOT_FOUND: absent)
    DWORD Type = REG_NONE;
    DWORD Size = 0;
    DWORD Value = 0;                      // its first bytes, up to four
    // What the library's read accepts.
    bool AcceptedByLibrary() const;
};

// Whether this process meets the refusals the platform's processes would meet: an
// elevated token or local system. Otherwise a refusal for lack of rights says nothing
// about the link, and the link is a warning that says so, never broken.
bool CanJudgeRefusals();
inline constexpr char RunElevated[] = "run radioctl doctor from an elevated prompt (Run as administrator) to judge it";
