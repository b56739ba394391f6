#include "registry_fixture.h"

#include <sddl.h>

#include <gtest/gtest.h>

namespace {

// Written out here rather than taken from the product, so that its reads and writes are
// checked against the contract's key and value.
constexpr char RadioSupportKeyPath[] = "SYSTEM\\CurrentControlSet\\services\\BTHPORT\\Parameters\\Radio Support";
constexpr char RadioStateValueName[] = "ZentRadioState";

struct OpenKey {
    HKEY Handle = nullptr;
    ~OpenKey() { if (Handle) RegCloseKey(Handle); }
};

void OpenRadioSupportKey(REGSAM access, OpenKey& key) {
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, access, &key.Handle);
    ASSERT_EQ(status, ERROR_SUCCESS) << "opening the Radio Support key";
}

}  // namespace

void CreateRadioSupportKey() {
    OpenKey key;
    LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key.Handle, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "creating the Radio Support key";
}

void DeleteRadioSupportKey() {
    // Restore full access first: a test may have left a read-only DACL behind.
    if (RadioSupportKeyExists()) SetRadioSupportKeySecurity("D:P(A;;KA;;;WD)");
    LSTATUS status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << "deleting the key: " << status;
}

bool RadioSupportKeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SetRadioSupportKeySecurity(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    OpenKey key;
    OpenRadioSupportKey(WRITE_DAC, key);
    LSTATUS status = RegSetKeySecurity(key.Handle, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void SetRadioStateValue(DWORD type, const void* data, DWORD size) {
    OpenKey key;
    OpenRadioSupportKey(KEY_SET_VALUE, key);
    LSTATUS status = RegSetValueExA(key.Handle, RadioStateValueName, 0, type, static_cast<const BYTE*>(data), size);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void SetRadioState(DWORD value) { SetRadioStateValue(REG_DWORD, &value, sizeof value); }

void DeleteRadioStateValue() {
    OpenKey key;
    OpenRadioSupportKey(KEY_SET_VALUE, key);
    LSTATUS status = RegDeleteValueA(key.Handle, RadioStateValueName);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
}

long long ReadRadioState() {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, RadioSupportKeyPath, RadioStateValueName, RRF_RT_ANY, &type, &value,
                     &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return -1;
    return value;
}
