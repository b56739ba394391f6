// The service's seam to what a test machine cannot provide: the radio's device node
// and the class installer, the Bluetooth port interface, device-interface
// notifications and the device events that follow them, radio enumeration, long
// waits, and the event log. Production code makes these calls through ServicePlatform; tests point entries
// at a simulated radio. Everything else (registry, SCM, RPC, events, token privileges)
// is called directly.
#pragma once

#include <windows.h>
#include <bluetoothapis.h>
#include <cfgmgr32.h>
#include <rpc.h>
#include <setupapi.h>

#include "caller_token.h"

struct ServicePlatformCalls {
    // Device enumeration and the class installer.
    decltype(&::SetupDiGetClassDevsExA) SetupDiGetClassDevsExA;
    decltype(&::SetupDiGetDeviceInfoListDetailA) SetupDiGetDeviceInfoListDetailA;
    decltype(&::SetupDiEnumDeviceInfo) SetupDiEnumDeviceInfo;
    decltype(&::CM_Get_Device_ID_ExA) CM_Get_Device_ID_ExA;
    decltype(&::SetupDiGetDeviceRegistryPropertyA) SetupDiGetDeviceRegistryPropertyA;
    decltype(&::SetupDiSetClassInstallParamsA) SetupDiSetClassInstallParamsA;
    decltype(&::SetupDiCallClassInstaller) SetupDiCallClassInstaller;
    // Whether a change waits for a restart (DI_NEEDRESTART, DI_NEEDREBOOT).
    decltype(&::SetupDiGetDeviceInstallParamsA) SetupDiGetDeviceInstallParamsA;
    decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA;
    decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) SetupDiGetDeviceInterfaceDetailA;
    decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList;

    // The Bluetooth port interface; CloseHandle here closes only handles that came
    // from this seam (the port interface and radio handles).
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::DeviceIoControl) DeviceIoControl;
    decltype(&::CloseHandle) CloseHandle;

    // Device-interface notifications; their events reach the control handler registered here.
    decltype(&::RegisterServiceCtrlHandlerExA) RegisterServiceCtrlHandlerExA;
    decltype(&::SetServiceStatus) SetServiceStatus;  // so that tests see every report
    decltype(&::RegisterDeviceNotificationA) RegisterDeviceNotificationA;
    decltype(&::UnregisterDeviceNotification) UnregisterDeviceNotification;

    // Radio enumeration of bthprops.cpl.
    decltype(&::BluetoothFindFirstRadio) BluetoothFindFirstRadio;
    decltype(&::BluetoothFindNextRadio) BluetoothFindNextRadio;
    decltype(&::BluetoothGetRadioInfo) BluetoothGetRadioInfo;
    decltype(&::BluetoothFindRadioClose) BluetoothFindRadioClose;

    // The token facts of a remote caller: every process is the same administrator under Wine.
    decltype(&::QueryCallerToken) QueryCallerToken;

    // The RPC server's endpoint and listening, so that tests can hold start-up between
    // its steps and find the pipe's name still held.
    decltype(&::RpcServerUseProtseqEpA) RpcServerUseProtseqEpA;
    decltype(&::RpcServerListen) RpcServerListen;
    decltype(&::RpcMgmtWaitServerListen) RpcMgmtWaitServerListen;

    // Time: pauses, elapsed time, and timed waits on an event.
    decltype(&::Sleep) Sleep;
    decltype(&::GetTickCount) GetTickCount;
    decltype(&::WaitForSingleObject) WaitForSingleObject;
    // Setting the completion event, so that tests can see what was done before it.
    decltype(&::SetEvent) SetEvent;

    // The Application event log, so that tests see every event the service writes.
    decltype(&::RegisterEventSourceA) RegisterEventSourceA;
    decltype(&::ReportEventA) ReportEventA;
    decltype(&::DeregisterEventSource) DeregisterEventSource;

    // Whether this is the 32-bit program on 64-bit Windows.
    decltype(&::IsWow64Process) IsWow64Process;
};

// The platform's own functions; what ServicePlatform holds unless a test swaps it.
extern const ServicePlatformCalls RealServicePlatform;
extern ServicePlatformCalls ServicePlatform;
