// What the radio switch service and the radio support library share besides the
// RPC interface itself: where the radio state lives and the request strings.
#pragma once

// HKEY_LOCAL_MACHINE subkey owned by the Bluetooth port driver; neither deliverable creates it.
inline constexpr char RadioSupportKeyPath[] =
    "SYSTEM\\CurrentControlSet\\services\\BTHPORT\\Parameters\\Radio Support";
// Query value | set value | enumerate subkeys, on both sides.
inline constexpr unsigned long RadioSupportKeyAccess = 0x000B;
// REG_DWORD: 1 while the radio's Bluetooth port interface is present, 0 once it is gone.
inline constexpr char RadioStateValueName[] = "ZentRadioState";

// Where the service listens: a local named pipe, nothing registered with the endpoint mapper.
inline constexpr char RadioControlProtocolSequence[] = "ncacn_np";
inline constexpr char RadioControlEndpoint[] = "\\pipe\\ZkBtRcIf";
// The two requests; the service compares them without regard to the case of letters.
inline constexpr char EnableRadioRequest[] = "EnableZentBtRadio";
inline constexpr char DisableRadioRequest[] = "DisableZentBtRadio";
// Network options of the client's string binding: the server may learn who calls but
// never act as the caller, so a process squatting on the pipe name gains nothing.
// Spelled as the platform documents the option; no document says it takes lowercase.
inline constexpr char RadioControlNetworkOptions[] = "Security=Identification Dynamic False";
