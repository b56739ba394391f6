#include "platform.h"

#include "bthprops_loader.h"

const ServicePlatformCalls RealServicePlatform = {
    ::SetupDiGetClassDevsExA,
    ::SetupDiGetDeviceInfoListDetailA,
    ::SetupDiEnumDeviceInfo,
    ::CM_Get_Device_ID_ExA,
    ::SetupDiGetDeviceRegistryPropertyA,
    ::SetupDiSetClassInstallParamsA,
    ::SetupDiCallClassInstaller,
    ::SetupDiGetDeviceInstallParamsA,
    ::SetupDiGetClassDevsA,
    ::SetupDiEnumDeviceInterfaces,
    ::SetupDiGetDeviceInterfaceDetailA,
    ::SetupDiDestroyDeviceInfoList,
    ::CreateFileA,
    ::DeviceIoControl,
    ::CloseHandle,
    ::RegisterServiceCtrlHandlerExA,
    ::SetServiceStatus,
    ::RegisterDeviceNotificationA,
    ::UnregisterDeviceNotification,
    LoadedBluetoothFindFirstRadio,
    LoadedBluetoothFindNextRadio,
    LoadedBluetoothGetRadioInfo,
    LoadedBluetoothFindRadioClose,
    ::QueryCallerToken,
    ::RpcServerUseProtseqEpA,
    ::RpcServerListen,
    ::RpcMgmtWaitServerListen,
    ::Sleep,
    ::GetTickCount,
    ::WaitForSingleObject,
    ::SetEvent,
    ::RegisterEventSourceA,
    ::ReportEventA,
    ::DeregisterEventSource,
    ::IsWow64Process,
};

ServicePlatformCalls ServicePlatform = RealServicePlatform;
