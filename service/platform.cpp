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
    ::CM_Get_DevNode_Status,
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
    ::RpcServerListen,
    ::RpcMgmtWaitServerListen,
    ::Sleep,
    ::GetTickCount,
    ::WaitForSingleObject,
    ::SetEvent,
    ::RegisterEventSourceA,
    ::ReportEventA,
    ::DeregisterEventSource,
};

ServicePlatformCalls ServicePlatform = RealServicePlatform;
