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
    ::SetupDiGetClassDevsA,
    ::SetupDiEnumDeviceInterfaces,
    ::SetupDiGetDeviceInterfaceDetailA,
    ::SetupDiDestroyDeviceInfoList,
    ::CreateFileA,
    ::DeviceIoControl,
    ::CloseHandle,
    ::RegisterServiceCtrlHandlerExA,
    ::RegisterDeviceNotificationA,
    ::UnregisterDeviceNotification,
    LoadedBluetoothFindFirstRadio,
    LoadedBluetoothFindNextRadio,
    LoadedBluetoothGetRadioInfo,
    LoadedBluetoothFindRadioClose,
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
