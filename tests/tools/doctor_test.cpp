// radioctl doctor against the test prefix's real registry, SCM, RPC runtime and
// SetupAPI, with the simulated-radio service behind the pipe.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "registry_fixture.h"
#include "run_program.h"
#include "simulated_radio_service.h"
#include "simulated_service_fixture.h"
#include "test_paths.h"

namespace {

// Just enough JSON for the report: objects, arrays, strings, whole numbers and the three literals.
// A document it cannot read whole is no report.
struct Json {
    std::string Text;  // a string's value, or a literal's spelling
    std::vector<Json> Items;
    std::vector<std::pair<std::string, Json>> Members;
    const Json* Member(const char* name) const {
        for (const auto& [key, value] : Members)
            if (key == name) return &value;
        return nullptr;
    }
};

bool ParseValue(const char*& p, Json& value);

void SkipSpace(const char*& p) {
    while (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') ++p;
}

bool ParseString(const char*& p, std::string& text) {
    if (*p++ != '"') return false;
    for (; *p != '"'; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20) return false;
        if (*p != '\\') {
            text += *p;
            continue;
        }
        ++p;
        const std::string simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
        if (simple.find(*p) != std::string::npos) {
            text += meant[simple.find(*p)];
        } else if (*p == 'u' && std::isxdigit(p[1]) && std::isxdigit(p[2]) && std::isxdigit(p[3]) && std::isxdigit(p[4])) {
            const unsigned long unit = std::stoul(std::string(p + 1, 4), nullptr, 16);
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
            p += 4;
        } else {
            return false;
        }
    }
    ++p;
    return true;
}

template <typename Element>
bool ParseList(const char*& p, char close, Element element) {
    ++p;
    SkipSpace(p);
    if (*p == close) return ++p, true;
    for (;;) {
        SkipSpace(p);
        if (!element()) return false;
        SkipSpace(p);
        if (*p == close) return ++p, true;
        if (*p++ != ',') return false;
    }
}

bool ParseValue(const char*& p, Json& value) {
    SkipSpace(p);
    if (*p == '"') return ParseString(p, value.Text);
    if (*p == '[') return ParseList(p, ']', [&] { value.Items.emplace_back(); return ParseValue(p, value.Items.back()); });
    if (*p == '{') {
        return ParseList(p, '}', [&] {
            value.Members.emplace_back();
            if (!ParseString(p, value.Members.back().first)) return false;
            SkipSpace(p);
            return *p++ == ':' && ParseValue(p, value.Members.back().second);
        });
    }
    if (std::isdigit(static_cast<unsigned char>(*p))) {
        while (std::isdigit(static_cast<unsigned char>(*p))) value.Text += *p++;
        return true;
    }
    for (const char* literal : {"true", "false", "null"}) {
        if (std::string(p).rfind(literal, 0) == 0) {
            value.Text = literal;
            p += std::strlen(literal);
            return true;
        }
    }
    return false;
}

struct Link {
    std::string Status, Found, Remedy;
};

struct Doctor {
    DWORD ExitCode = 0;
    std::string Ok;  // "true" or "false"
    std::map<std::string, std::string> Header;  // tool, version, machine, time, bitness
    std::vector<std::string> Names;
    std::map<std::string, Link> Links;
    const Link& operator[](const std::string& name) { return Links[name]; }
};

ProgramRun Radioctl(const std::string& arguments) {
    return RunProgram(BinaryDirectory() + "radioctl" RADIOSWITCH_IMAGE_SUFFIX ".exe", arguments);
}

// Runs "radioctl doctor --json" and reads the report; a document that does not parse
// fails the test.
Doctor RunDoctor() {
    ProgramRun run = Radioctl("doctor --json");
    Doctor doctor;
    doctor.ExitCode = run.ExitCode;
    Json document;
    const char* p = run.Out.c_str();
    const bool parsed = ParseValue(p, document);
    SkipSpace(p);
    EXPECT_TRUE(parsed && *p == '\0') << "not one JSON document:\n" << run.Out << run.Err;
    if (const Json* ok = document.Member("ok")) doctor.Ok = ok->Text;
    for (const char* name : {"tool", "version", "machine", "time", "bitness"})
        if (const Json* value = document.Member(name)) doctor.Header[name] = value->Text;
    if (const Json* links = document.Member("links")) {
        for (const Json& link : links->Items) {
            const Json *name = link.Member("link"), *status = link.Member("status"), *found = link.Member("found"),
                       *remedy = link.Member("remedy");
            EXPECT_TRUE(name && status && found && remedy) << run.Out;
            if (!(name && status && found && remedy)) continue;
            doctor.Names.push_back(name->Text);
            doctor.Links[name->Text] = {status->Text, found->Text, remedy->Text};
        }
    }
    return doctor;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A copy, since the report may be a temporary that ends with this statement.
#define EXPECT_LINK(doctor, name, status, part)                                                     \
    do {                                                                                            \
        const Link link_ = (doctor)[name];                                                          \
        EXPECT_EQ(link_.Status, status) << name << ": " << link_.Found;                             \
        EXPECT_TRUE(Contains(link_.Found, part)) << name << ": " << link_.Found << " lacks " << part; \
    } while (0)

// UTC to the second, ISO 8601, in the report's form: 2026-12-09T11:05:00Z.
std::string UtcNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

TEST(RadioctlDoctor, OnAMachineWithoutTheSystemEveryLinkHasItsVerdict) {
    DeleteRadioSupportKey();
    const std::string before = UtcNow();
    Doctor doctor = RunDoctor();
    const std::string after = UtcNow();
    // Beside the links, what a collector of many machines' reports needs.
#if defined(__aarch64__)
    EXPECT_EQ(doctor.Header["tool"], "radioctlarm64");
    EXPECT_EQ(doctor.Header["bitness"], "64");
#elif defined(_WIN64)
    EXPECT_EQ(doctor.Header["tool"], "radioctl64");
    EXPECT_EQ(doctor.Header["bitness"], "64");
#else
    EXPECT_EQ(doctor.Header["tool"], "radioctl");
    EXPECT_EQ(doctor.Header["bitness"], "32");
#endif
    EXPECT_EQ(doctor.Header["version"], RADIOSWITCH_VERSION);
    char machine[256];
    DWORD machineSize = sizeof machine;
    ASSERT_TRUE(GetComputerNameExA(ComputerNameDnsFullyQualified, machine, &machineSize));
    EXPECT_EQ(doctor.Header["machine"], machine);
    EXPECT_EQ(doctor.Header["time"].size(), before.size()) << doctor.Header["time"];
    EXPECT_TRUE(before <= doctor.Header["time"] && doctor.Header["time"] <= after)
        << doctor.Header["time"] << " not within " << before << " .. " << after;
    EXPECT_EQ(doctor.ExitCode, 1u);
    EXPECT_EQ(doctor.Ok, "false");
    EXPECT_EQ(doctor.Names, (std::vector<std::string>{"radio-support-key", "state-value", "library", "service", "pipe",
                                                      "device-nodes", "port-interface", "remote-wake", "tracing"}));
    EXPECT_LINK(doctor, "radio-support-key", "broken", "is missing");
    EXPECT_TRUE(Contains(doctor["radio-support-key"].Remedy, "reg add")) << doctor["radio-support-key"].Remedy;
    EXPECT_LINK(doctor, "state-value", "broken", "the Radio Support key is missing");
    EXPECT_LINK(doctor, "library", "broken", "error 1114");
    EXPECT_LINK(doctor, "service", "broken", "\"Zentrik Bluetooth Radio Control Service\" is not registered");
    EXPECT_LINK(doctor, "pipe", "broken", "no server on \\pipe\\ZkBtRcIf");
    EXPECT_LINK(doctor, "device-nodes", "broken", "no present node has the hardware or compatible ID USB\\VID_7A5C&PID_0C31&MI_00");
    EXPECT_LINK(doctor, "tracing", "ok", "{C31877A2-C8C8-4C58-B5B8-7D6311D5E343}");
    EXPECT_LINK(doctor, "tracing", "ok", "fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf present");
}

TEST(RadioctlDoctor, TellsTheKeyAndTheValueApart) {
    ScopedRadioSupportKey key;
    const BYTE binaryOne[4] = {1, 0, 0, 0};
    SetRadioStateValue(REG_BINARY, binaryOne, sizeof binaryOne);
    Doctor doctor = RunDoctor();
    EXPECT_LINK(doctor, "radio-support-key", "ok", "access 0x000B");
    EXPECT_LINK(doctor, "state-value", "broken", "REG_BINARY of 4 bytes");
    EXPECT_LINK(doctor, "state-value", "broken", "would answer 87");
    // The library refuses a REG_DWORD shorter than 4 bytes as it refuses another type.
    SetRadioStateValue(REG_DWORD, binaryOne, 2);
    doctor = RunDoctor();
    EXPECT_LINK(doctor, "state-value", "broken", "REG_DWORD of 2 bytes");
    EXPECT_LINK(doctor, "state-value", "broken", "would answer 87");
    EXPECT_LINK(doctor, "library", "ok", "IsBluetoothRadioEnabled answered 87");

    // No port interface on this machine: a value that says "on" is stale, "off" agrees.
    SetRadioState(1);
    doctor = RunDoctor();
    EXPECT_LINK(doctor, "state-value", "ok", "value 1");
    EXPECT_LINK(doctor, "port-interface", "broken", "stale");
    SetRadioState(0);
    EXPECT_LINK(RunDoctor(), "port-interface", "ok", "agrees");
}

// Real nodes in Wine's SetupAPI, removed at the end.
class RadioNodes {
public:
    RadioNodes() : set_(SetupDiCreateDeviceInfoList(nullptr, nullptr)) {}
    ~RadioNodes() {
        SP_DEVINFO_DATA element{};
        element.cbSize = sizeof element;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set_, i, &element); ++i) SetupDiCallClassInstaller(DIF_REMOVE, set_, &element);
        SetupDiDestroyDeviceInfoList(set_);
    }
    bool Add(const char* instanceId, const char* hardwareId) {
        static constexpr GUID testClass = {0x8A3F1D62, 0x51C4, 0x4B7E, {0x9D, 0x20, 0x3E, 0x6A, 0x11, 0x42, 0x77, 0x05}};
        const std::string ids = std::string(hardwareId) + '\0' + '\0';
        SP_DEVINFO_DATA element{};
        element.cbSize = sizeof element;
        return SetupDiCreateDeviceInfoA(set_, instanceId, &testClass, nullptr, nullptr, 0, &element) &&
               SetupDiSetDeviceRegistryPropertyA(set_, &element, SPDRP_HARDWAREID,
                                                 reinterpret_cast<const BYTE*>(ids.data()), static_cast<DWORD>(ids.size())) &&
               SetupDiRegisterDeviceInfo(set_, &element, 0, nullptr, nullptr, nullptr);
    }

private:
    HDEVINFO set_;
};

TEST(RadioctlDoctor, AWorkingSystemPassesAndAPausedOrStoppedServiceDoesNot) {
    ScopedRadioSupportKey key;
    SetRadioState(0);
    RadioNodes nodes;
    ASSERT_TRUE(nodes.Add("USB\\VID_7A5C&PID_0C31\\5&2A3B4C5D&0&1", "USB\\VID_7A5C&PID_0C31"));
    ASSERT_TRUE(nodes.Add("USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000", "usb\\vid_7a5c&pid_0c31&mi_00"));
    // The service's own radio is off as well: at start it writes the state it finds.
    ASSERT_EQ(WriteSimulatedRadioSetting(SimulatedRadioDisabledValue, 1), ERROR_SUCCESS);
    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());

    // The class installer refuses 32-bit processes on 64-bit Windows: there a 32-bit
    // build's service cannot switch, and the doctor says so.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const char* const serviceVerdict = wow64 ? "broken" : "warning";

    Doctor doctor = RunDoctor();
    EXPECT_EQ(doctor.ExitCode, wow64 ? 1u : 0u);
    EXPECT_EQ(doctor.Ok, wow64 ? "false" : "true");
    EXPECT_LINK(doctor, "library", "ok", "IsBluetoothRadioEnabled answered 0 (radio off)");
    // Registered by the test for demand start, not by its own install.
    EXPECT_LINK(doctor, "service", serviceVerdict, "demand start");
    const char* const image = wow64                ? "(file present), a 32-bit image on 64-bit Windows"
                              : sizeof(void*) == 8 ? "(file present), 64-bit image, own process"
                                                   : "(file present), 32-bit image, own process";
    EXPECT_LINK(doctor, "service", serviceVerdict, image);
    EXPECT_LINK(doctor, "service", serviceVerdict, "; running, process ID ");
    EXPECT_LINK(doctor, "pipe", "ok", "returned from \\pipe\\ZkBtRcIf in ");
    EXPECT_LINK(doctor, "device-nodes", "ok", "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000");
    EXPECT_LINK(doctor, "device-nodes", "ok", "USB\\VID_7A5C&PID_0C31\\5&2A3B4C5D&0&1");
    EXPECT_LINK(doctor, "remote-wake", "warning", "6&1&0&0000: no Device Parameters key");
    EXPECT_EQ(service.Scm().Query().dwCurrentState, DWORD{SERVICE_RUNNING}) << "the doctor changes nothing";
    EXPECT_EQ(ReadRadioState(), 0);

    ProgramRun table = Radioctl("doctor");
    EXPECT_EQ(table.ExitCode, wow64 ? 1u : 0u);
    EXPECT_TRUE(Contains(table.Out, "ok       radio-support-key  ")) << table.Out;
#if defined(__aarch64__)
    EXPECT_EQ(table.Out.rfind("radioctlarm64 " RADIOSWITCH_VERSION " (64-bit) on ", 0), 0u) << table.Out;
#elif defined(_WIN64)
    EXPECT_EQ(table.Out.rfind("radioctl64 " RADIOSWITCH_VERSION " (64-bit) on ", 0), 0u) << table.Out;
#else
    EXPECT_EQ(table.Out.rfind("radioctl " RADIOSWITCH_VERSION " (32-bit) on ", 0), 0u) << table.Out;
#endif
    EXPECT_TRUE(Contains(table.Out, wow64 ? "broken: service" : "no link is broken")) << table.Out;

    const std::string parameters = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000\\Device Parameters";
    const DWORD one = 1;
    for (const char* name : {"RemoteWakeEnabled", "DeviceRemoteWakeSupported"})
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, parameters.c_str(), name, REG_DWORD, &one, sizeof one), ERROR_SUCCESS);
    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_PAUSE), DWORD{NO_ERROR});
    doctor = RunDoctor();
    EXPECT_LINK(doctor, "remote-wake", "ok", "6&1&0&0000: RemoteWakeEnabled 1, DeviceRemoteWakeSupported 1");
    EXPECT_EQ(doctor.ExitCode, 1u);
    EXPECT_LINK(doctor, "service", "broken", "paused, which means requests are ignored");
    EXPECT_LINK(doctor, "pipe", "ok", "returned");

    ASSERT_EQ(service.Scm().Control(SERVICE_CONTROL_STOP), DWORD{NO_ERROR});
    service.Scm().WaitForState(SERVICE_STOPPED, 30000);
    doctor = RunDoctor();
    EXPECT_LINK(doctor, "service", "broken", "; stopped");
    EXPECT_LINK(doctor, "pipe", "broken", "no server");
    DeleteSimulatedRadioSettings();
}

}  // namespace
