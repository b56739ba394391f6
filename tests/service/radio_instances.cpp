#include "radio_instances.h"

#include <sddl.h>

#include <gtest/gtest.h>

namespace {

void SetParametersSecurity(const std::string& instance, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ParametersPath(instance).c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(descriptor);
}

// Relative to an open parent: Wine's ANSI registry calls refuse full paths of more than 255 characters.
void CreateKey(HKEY parent, const std::string& name, HKEY* created) {
    ASSERT_EQ(RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created, nullptr),
              ERROR_SUCCESS)
        << name;
}

}  // namespace

std::string InstancePath(const std::string& instance) { return std::string(RadioEnumerator) + "\\" + instance; }

std::string ParametersPath(const std::string& instance) { return InstancePath(instance) + "\\Device Parameters"; }

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

DWORD ValueCount(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

std::string WakeValue(const std::string& instance, const char* name) {
    DWORD type = 0, value = 0, size = sizeof value;
    LSTATUS status = RegGetValueA(HKEY_LOCAL_MACHINE, ParametersPath(instance).c_str(), name, RRF_RT_ANY, &type,
                                  &value, &size);
    if (status == ERROR_FILE_NOT_FOUND) return "missing";
    if (status != ERROR_SUCCESS) return "error " + std::to_string(status);
    if (type != REG_DWORD || size != 4) return "type " + std::to_string(type) + " size " + std::to_string(size);
    return std::to_string(value);
}

void ExpectWakeValues(const std::string& instance, const char* expected) {
    EXPECT_EQ(WakeValue(instance, "RemoteWakeEnabled"), expected) << instance;
    EXPECT_EQ(WakeValue(instance, "DeviceRemoteWakeSupported"), expected) << instance;
}

RadioInstances::RadioInstances() {
    Remove();
    HKEY key = nullptr;
    CreateKey(HKEY_LOCAL_MACHINE, RadioEnumerator, &key);
    if (key) RegCloseKey(key);
}

RadioInstances::~RadioInstances() { Remove(); }

void RadioInstances::Add(const std::string& instance, bool withParameters) {
    HKEY enumerator = nullptr, key = nullptr, parameters = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioEnumerator, 0, KEY_CREATE_SUB_KEY, &enumerator), ERROR_SUCCESS);
    CreateKey(enumerator, instance, &key);
    if (key && withParameters) CreateKey(key, "Device Parameters", &parameters);
    for (HKEY open : {parameters, key, enumerator})
        if (open) RegCloseKey(open);
}

void RadioInstances::MakeReadOnly(const std::string& instance) {
    SetParametersSecurity(instance, "D:P(A;;KR;;;WD)");
    ReadOnly.push_back(instance);
}

void RadioInstances::Remove() {
    for (const std::string& instance : ReadOnly) SetParametersSecurity(instance, "D:P(A;;KA;;;WD)");
    ReadOnly.clear();
    LSTATUS status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, RadioEnumerator);
    EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, RadioEnumerator);
}
