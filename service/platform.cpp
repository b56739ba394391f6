#include "platform.h"

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
    ::RegisterDeviceNotificationA,
    ::UnregisterDeviceNotification,
    ::BluetoothFindFirstRadio,
    ::BluetoothFindNextRadio,
    ::BluetoothGetRadioInfo,
    ::BluetoothFindRadioClose,
    ::Sleep,
    ::GetTickCount,
    ::WaitForSingleObject,
};

ServicePlatformCalls ServicePlatform = RealServicePlatform;
