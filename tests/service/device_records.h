// Device-event data as the platform hands it to a service's control handler.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// The radio's Bluetooth port interface as the platform names it.
inline const std::wstring RadioInterfacePath =
    L"\\\\?\\USB#VID_7A5C&PID_0C31&MI_00#6&1&0&0000#{0850302a-b344-4fda-9be9-90576b8d46f0}";

// A DEV_BROADCAST_DEVICEINTERFACE_W carrying the path, sized as the platform sizes it.
class DeviceInterfaceRecord {
public:
    explicit DeviceInterfaceRecord(const std::wstring& path, DWORD deviceType = DBT_DEVTYP_DEVICEINTERFACE) {
        size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(wchar_t);
        bytes_.assign(size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) ? sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) : size, 0);
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes_.data());
        record->dbcc_size = static_cast<DWORD>(size);
        record->dbcc_devicetype = deviceType;
        std::memcpy(record->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    }
    DEV_BROADCAST_HDR* Header() { return reinterpret_cast<DEV_BROADCAST_HDR*>(bytes_.data()); }
    DEV_BROADCAST_DEVICEINTERFACE_W* Record() { return reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes_.data()); }

private:
    std::vector<BYTE> bytes_;
};
