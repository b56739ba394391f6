// radioctl doctor: walks every link a switch depends on, read-only, and says for each
// what it found and what to do about it. Each check opens what it looks at with
// reading rights only (the Radio Support key also with the library's own access, which
// changes nothing) and says so where it could not look without more rights.
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

RadioStateReading ReadRadioStateValue();

// Whether this process meets the refusals the platform's processes would meet: an
// elevated token or local system. Otherwise a refusal for lack of rights says nothing
// about the link, and the link is a warning that says so, never broken.
bool CanJudgeRefusals();
inline constexpr char RunElevated[] = "run radioctl doctor from an elevated prompt (Run as administrator) to judge it";

// The service's process as the Service Control Manager tells it.
struct ServiceProcess {
    bool Known = false;   // false when the SCM could not be asked
    DWORD ProcessId = 0;  // 0 when the service is not registered or not running
};
ServiceProcess QueryServiceProcess();

// The links, in the order the report shows them.
LinkReport CheckRadioSupportKey();
LinkReport CheckStateValue(const RadioStateReading& state);
LinkReport CheckLibrary(const std::string& libraryPath);
LinkReport CheckService();
LinkReport CheckPipe();
LinkReport CheckDeviceNodes();
LinkReport CheckPortInterface(const RadioStateReading& state);
LinkReport CheckRemoteWake();
LinkReport CheckTracing();

std::vector<LinkReport> RunDoctor(const std::string& libraryPath);
bool AnyBroken(const std::vector<LinkReport>& links);
