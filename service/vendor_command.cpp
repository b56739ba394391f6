#include "vendor_command.h"

#include <setupapi.h>

#include <cstring>

#include "platform.h"

namespace {

// The platform's BTH_VENDOR_SPECIFIC_COMMAND up to its data, byte-packed and little-endian.
#pragma pack(push, 1)
struct VendorCommandHeader {
    ULONG ManufacturerId;
    UCHAR LmpVersion;
    UCHAR MatchAnySinglePattern;
    USHORT OpCode;
    UCHAR TotalParameterLength;
};
#pragma pack(pop)
static_assert(sizeof(VendorCommandHeader) == 9);

constexpr size_t RequestBufferSize = 500;
constexpr size_t ResponseBufferSize = 499;
static_assert(sizeof(VendorCommandHeader) + 255 <= RequestBufferSize, "any parameter length fits");

// A query that keeps failing otherwise would hold the off request for ever.
constexpr int InterfaceQueryAttempts = 8;

}  // namespace

void EnableLoadDriverPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    if (LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        static_assert(sizeof privileges == 16);
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    }
    CloseHandle(token);
}

bool ReadInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* interfaceData, InterfaceDetail& detail) {
    std::memset(&detail, 0, sizeof detail);
    detail.Data.cbSize = sizeof detail.Data;
    return ServicePlatform.SetupDiGetDeviceInterfaceDetailA(list, interfaceData, &detail.Data, sizeof detail.Bytes,
                                                            nullptr, nullptr) != FALSE;
}

HANDLE OpenFirstInterface(const GUID& interfaceClass) {
    HDEVINFO list =
        ServicePlatform.SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;

    InterfaceDetail detail;
    bool found = false;
    for (int attempt = 0; attempt < InterfaceQueryAttempts && !found; ++attempt) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!ServicePlatform.SetupDiEnumDeviceInterfaces(list, nullptr, &interfaceClass, 0, &interfaceData)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
            continue;
        }
        found = ReadInterfaceDetail(list, &interfaceData, detail);
    }
    ServicePlatform.SetupDiDestroyDeviceInfoList(list);
    if (!found) return INVALID_HANDLE_VALUE;

    return ServicePlatform.CreateFileA(detail.Data.DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SendVendorHciCommand(HANDLE port, const VendorHciCommand& command) {
    if (port == INVALID_HANDLE_VALUE) return false;

    BYTE request[RequestBufferSize] = {};
    const VendorCommandHeader header = {RadioManufacturerId, 0, 1, command.OpCode, command.ParameterLength};
    std::memcpy(request, &header, sizeof header);
    if (command.ParameterLength) std::memcpy(request + sizeof header, command.Parameters, command.ParameterLength);

    BYTE response[ResponseBufferSize] = {};
    DWORD returned = 0;
    return ServicePlatform.DeviceIoControl(port, IoctlBthHciVendorCommand, request,
                                           sizeof header + command.ParameterLength, response, sizeof response,
                                           &returned, nullptr) != FALSE;
}

void SendRadioOffCommand() {
    EnableLoadDriverPrivilege();
    HANDLE port = OpenFirstInterface(BthPortInterfaceClass);
    if (port == INVALID_HANDLE_VALUE) return;
    SendVendorHciCommand(port, RadioOffCommand);
    ServicePlatform.CloseHandle(port);
}
