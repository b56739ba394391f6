// Instances of the radio's USB interface in the test prefix's real registry, under
// HKLM\SYSTEM\CurrentControlSet\Enum\USB\VID_7A5C&PID_0C31&MI_00.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline constexpr char RadioEnumerator[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7A5C&PID_0C31&MI_00";

std::string InstancePath(const std::string& instance);
std::string ParametersPath(const std::string& instance);
bool KeyExists(const std::string& path);
DWORD ValueCount(const std::string& path);
// "1" for a 4-byte REG_DWORD 1, "missing", or what else was found.
std::string WakeValue(const std::string& instance, const char* name);
// Both remote-wake values of the instance read as expected.
void ExpectWakeValues(const std::string& instance, const char* expected);

// The enumerator key, present and empty for one test; removed with all it holds afterwards.
class RadioInstances {
public:
    RadioInstances();
    ~RadioInstances();
    RadioInstances(const RadioInstances&) = delete;
    RadioInstances& operator=(const RadioInstances&) = delete;

    void Add(const std::string& instance, bool withParameters = true);
    // The instance's parameters key grants only reading from now on.
    void MakeReadOnly(const std::string& instance);
    void Remove();

private:
    std::vector<std::string> ReadOnly;
};
