#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_enumeration.h"
#include "platform.h"
#include "sim_radio.h"

namespace {

// The IDs and selectors of the contract, written out rather than taken from the service.
constexpr char RadioId[] = "USB\\VID_7A5C&PID_0C31&MI_00";
constexpr char CompositeId[] = "USB\\VID_7A5C&PID_0C31";
constexpr DWORD RadioSelector = 1;
constexpr DWORD CompositeSelector = 0;

using Ids = std::vector<std::string>;

// An IdList made the way GetDeviceIdList makes one: a heap buffer handed to SplitMultiSz.
IdList MakeList(const Ids& ids) {
    std::string data = MultiSz(ids).Data;
    auto buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, data.size()));
    std::memcpy(buffer, data.data(), data.size());
    return SplitMultiSz(buffer);
}

bool Matches(const char* pattern, const Ids& ids) {
    IdentifierToken token;
    ParseIdentifierToken(&token, pattern);
    IdList list = MakeList(ids);
    bool result = MatchIdentifierList(list, &token);
    FreeIdList(list);
    return result;
}

TEST(IdentifierToken, StepsOverAtSignAndApostrophe) {
    IdentifierToken token;
    const char plain[] = "USB\\VID_7A5C*";
    ParseIdentifierToken(&token, plain);
    EXPECT_EQ(token.PatternStart, plain);
    EXPECT_EQ(token.WildcardAt, plain + 12);
    EXPECT_EQ(token.IsInstancePattern, 0u);

    const char instance[] = "@'USB*";
    ParseIdentifierToken(&token, instance);
    EXPECT_EQ(token.PatternStart, instance + 2);
    EXPECT_EQ(token.WildcardAt, nullptr) << "a quoted pattern has no wildcard";
    EXPECT_EQ(token.IsInstancePattern, 1u);
}

TEST(MatchIdentifierList, WithoutWildcardComparesWholeStringsIgnoringCase) {
    EXPECT_TRUE(Matches(RadioId, {"usb\\vid_7a5c&pid_0c31&mi_00"}));
    EXPECT_TRUE(Matches(RadioId, {"USB\\VID_7A5C&PID_0C31&REV_0112&MI_00", RadioId}));
    EXPECT_FALSE(Matches(RadioId, {"USB\\VID_7A5C&PID_0C31&MI_00&REV_0112"}));
    EXPECT_FALSE(Matches(RadioId, {"USB\\VID_7A5C&PID_0C31&MI_0"}));
    EXPECT_FALSE(Matches(CompositeId, {RadioId}));
    EXPECT_FALSE(Matches(RadioId, {}));
    EXPECT_FALSE(Matches("@USB\\X", {"@USB\\X"})) << "the at sign is not part of the pattern";
    EXPECT_TRUE(Matches("@USB\\X", {"usb\\x"}));

    IdentifierToken token;
    ParseIdentifierToken(&token, RadioId);
    EXPECT_FALSE(MatchIdentifierList(nullptr, &token));
}

TEST(MatchIdentifierList, WildcardRules) {
    struct Case {
        const char* Pattern;
        const char* Id;
        bool Matches;
    } cases[] = {
        {"*", "anything", true},
        {"USB\\VID_7A5C*", "usb\\vid_7a5c&pid_0c31", true},
        {"USB\\VID_7A5C*", "USB\\VID_7A5", false},
        {"*&MI_00", "USB\\VID_7A5C&PID_0C31&mi_00", true},
        {"*&MI_00", "&MI_0", false},
        {"*&MI_00", "USB\\VID_7A5C&PID_0C31&MI_00&REV_1", false},
        {"USB*PID_0C31*MI_00", "USB\\VID_7A5C&PID_0C31&MI_00", true},
        {"USB*PID_0C31*MI_00", "USB\\PID_0C31", false},
        {"*ABC*", "xxABABCxx", true},  // a failed candidate, then the segment further on
        {"*ABC*", "xxABAB", false},
        {"*&M*", "USB\\VID&PID&MI_00", true},  // a segment starting with a non-letter
        {"A**B", "AxB", true},
        {"*B*BA", "BA", false},  // the middle segment takes the first B; too little is left
        {"*AB*B", "AB", false},
        {"'USB*", "USB*", true},  // quoted: the star is an ordinary character
        {"'USB*", "USB1", false},
        {"'usb*", "USB*", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Matches(c.Pattern, {c.Id}), c.Matches) << c.Pattern << " vs " << c.Id;
    }
    EXPECT_FALSE(Matches("*", {})) << "a node without IDs";
}

TEST(IdList, KeepsTheBufferInTheSlotBeforeTheFirstString) {
    IdList list = MakeList({"one", "two", "three"});
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list[0], "one");
    EXPECT_STREQ(list[2], "three");
    EXPECT_EQ(list[3], nullptr);
    EXPECT_EQ(list[-1], list[0]) << "the buffer starts with the first string";
    FreeIdList(list);

    IdList empty = MakeList({});
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], nullptr);
    FreeIdList(empty);
    FreeIdList(nullptr);
}

// ---- Enumeration on the simulated device tree.

struct Visit {
    DWORD Index;
    std::string InstanceId;
};

struct Visits {
    std::vector<Visit> Seen;
    DWORD StopWith = 0;
};

// Records each matching node by its instance ID as the simulation numbers them.
DWORD RecordVisit(HDEVINFO, SP_DEVINFO_DATA* element, DWORD index, void* context) {
    auto& visits = *static_cast<Visits*>(context);
    visits.Seen.push_back({index, std::to_string(element->DevInst - 1)});
    return visits.StopWith;
}

class SimEnumeration : public testing::Test {
protected:
    size_t Add(const Ids& hardware, std::optional<Ids> compatible = std::nullopt, bool present = true) {
        SimDeviceNode node;
        node.InstanceId = "ROOT\\NODE\\" + std::to_string(nodes++);
        node.HardwareIds = MultiSz(hardware);
        if (compatible) node.CompatibleIds = MultiSz(*compatible);
        node.Present = present;
        return sim.AddNode(std::move(node));
    }
    std::vector<std::string> Walk(DWORD selector, DWORD* result = nullptr) {
        Visits visits;
        DWORD r = EnumerateDevices(RecordVisit, &visits, selector);
        if (result) *result = r;
        std::vector<std::string> seen;
        for (const Visit& v : visits.Seen) seen.push_back(std::to_string(v.Index) + ":" + v.InstanceId);
        return seen;
    }

    SimRadio sim;
    int nodes = 0;
};

using Seen = std::vector<std::string>;

TEST_F(SimEnumeration, VisitsMatchingPresentNodesInOrder) {
    Add({"PCI\\VEN_8086"});
    Add({"USB\\OTHER"}, Ids{"USB\\Class_E0", RadioId});  // matches by a compatible ID
    Add({RadioId}, std::nullopt, false);                  // absent
    Add({CompositeId});
    Add({"usb\\vid_7a5c&pid_0c31&mi_00"});
    DWORD result = 99;
    EXPECT_EQ(Walk(RadioSelector, &result), (Seen{"1:1", "3:4"})) << "member indices skip the absent node";
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(Walk(7), (Seen{"1:1", "3:4"})) << "any nonzero selector picks the interface";
    EXPECT_EQ(Walk(CompositeSelector), (Seen{"2:3"}));
    EXPECT_EQ(sim.OpenDeviceLists(), 0u);

    const SimListQuery& query = sim.ListQueries.at(0);
    EXPECT_TRUE(query.Ex);
    EXPECT_FALSE(query.Class);
    EXPECT_EQ(query.Flags, DWORD{DIGCF_ALLCLASSES | DIGCF_PRESENT});
    EXPECT_FALSE(query.EnumeratorGiven || query.ParentGiven || query.ExistingSetGiven || query.MachineGiven);
    ASSERT_FALSE(sim.InstanceIdReads.empty());
    EXPECT_EQ(sim.InstanceIdReads[0].BufferLength, 200u);
    EXPECT_EQ(sim.InstanceIdReads[0].Flags, 0u);
}

TEST_F(SimEnumeration, ReadsBothPropertiesOfEveryNode) {
    Add({RadioId}, Ids{"USB\\Class_E0"});
    Add({"PCI\\VEN_8086"});
    Walk(RadioSelector);
    ASSERT_EQ(sim.PropertyReads.size(), 4u);
    EXPECT_EQ(sim.PropertyReads[0].Property, DWORD{SPDRP_HARDWAREID});
    EXPECT_EQ(sim.PropertyReads[1].Property, DWORD{SPDRP_COMPATIBLEIDS}) << "read although the hardware IDs matched";
    EXPECT_EQ(sim.PropertyReads[0].BufferSize, 8192u);
    EXPECT_FALSE(sim.PropertyReads[3].Succeeded) << "no compatible IDs";
}

TEST_F(SimEnumeration, ReadsALargeIdListInASecondCall) {
    Ids ids(400, std::string(30, 'X'));  // 400 * 31 + 1 bytes
    ids.push_back(RadioId);
    size_t node = Add(ids);
    EXPECT_EQ(Walk(RadioSelector), (Seen{"0:0"}));
    DWORD size = static_cast<DWORD>(sim.Node(node).HardwareIds->Data.size());
    ASSERT_GT(size, 8192u);
    ASSERT_EQ(sim.PropertyReads.size(), 3u);
    EXPECT_FALSE(sim.PropertyReads[0].Succeeded);
    EXPECT_EQ(sim.PropertyReads[1].BufferSize, size);
    EXPECT_TRUE(sim.PropertyReads[1].Succeeded);
}

TEST_F(SimEnumeration, GetDeviceIdListTerminatesAndFiltersByType) {
    size_t unterminated = Add({});
    sim.Node(unterminated).HardwareIds = SimProperty{REG_MULTI_SZ, std::string("A\0B", 3)};
    size_t single = Add({});
    sim.Node(single).HardwareIds = SimProperty{REG_SZ, std::string(RadioId) + '\0'};
    size_t largeSingle = Add({});
    sim.Node(largeSingle).HardwareIds = SimProperty{REG_SZ, std::string(9000, 'Y') + '\0'};

    HDEVINFO set = ServicePlatform.SetupDiGetClassDevsExA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES, nullptr, nullptr,
                                                          nullptr);
    SP_DEVINFO_DATA element{};
    element.cbSize = sizeof element;
    auto read = [&](DWORD index) {
        EXPECT_TRUE(ServicePlatform.SetupDiEnumDeviceInfo(set, index, &element));
        IdList list = GetDeviceIdList(set, &element, SPDRP_HARDWAREID);
        Ids ids;
        for (IdList id = list; id && *id; ++id) ids.push_back(*id);
        bool empty = list == nullptr;
        FreeIdList(list);
        return empty ? Ids{"<none>"} : ids;
    };
    EXPECT_EQ(read(0), (Ids{"A", "B"}));
    EXPECT_EQ(read(1), (Ids{RadioId})) << "a single string fitting the first buffer";
    EXPECT_EQ(read(2), (Ids{"<none>"})) << "too large and not a multi-string";
    ServicePlatform.SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SimEnumeration, FailuresAndEarlyEnds) {
    Add({RadioId});
    Add({RadioId});
    DWORD result = 0;

    sim.DeviceListQuery.FailTimes(1);
    EXPECT_EQ(Walk(RadioSelector, &result), Seen{});
    EXPECT_EQ(result, 2u);

    sim.ListDetail.FailTimes(1);
    EXPECT_EQ(Walk(RadioSelector, &result), Seen{});
    EXPECT_EQ(result, 2u);
    EXPECT_EQ(sim.OpenDeviceLists(), 0u) << "the list is destroyed";

    sim.EnumFailure = {{1, ERROR_INVALID_DATA}};
    EXPECT_EQ(Walk(RadioSelector, &result), (Seen{"0:0"}));
    EXPECT_EQ(result, 0u) << "any enumeration error ends the walk normally";
    sim.EnumFailure.reset();

    sim.InstanceIdRead.FailAlways();
    EXPECT_EQ(Walk(RadioSelector), (Seen{"0:0", "1:1"})) << "matched by IDs without the instance ID";

    Visits visits;
    visits.StopWith = 1234;
    EXPECT_EQ(EnumerateDevices(RecordVisit, &visits, RadioSelector), 1234u);
    EXPECT_EQ(visits.Seen.size(), 1u);
    EXPECT_EQ(sim.OpenDeviceLists(), 0u);
}

// ---- Enumeration on Wine's real SetupAPI, with real device nodes.

DWORD RecordInstanceId(HDEVINFO set, SP_DEVINFO_DATA* element, DWORD, void* context) {
    char id[200] = {};
    SetupDiGetDeviceInstanceIdA(set, element, id, sizeof id, nullptr);
    static_cast<std::vector<std::string>*>(context)->push_back(id);
    return 0;
}

bool CreateNode(HDEVINFO set, const char* instanceId, const std::string& hardwareIds) {
    static constexpr GUID testClass = {0x8A3F1D62, 0x51C4, 0x4B7E, {0x9D, 0x20, 0x3E, 0x6A, 0x11, 0x42, 0x77, 0x05}};
    SP_DEVINFO_DATA element{};
    element.cbSize = sizeof element;
    return SetupDiCreateDeviceInfoA(set, instanceId, &testClass, nullptr, nullptr, 0, &element) &&
           SetupDiSetDeviceRegistryPropertyA(set, &element, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(hardwareIds.data()),
                                             static_cast<DWORD>(hardwareIds.size())) &&
           SetupDiRegisterDeviceInfo(set, &element, 0, nullptr, nullptr, nullptr);
}

TEST(RealSetupApiEnumeration, FindsTheRadioInterfaceNode) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    Ids big(300, std::string(40, 'Z'));  // over 12 000 bytes before the radio's ID
    big.push_back("usb\\vid_7a5c&pid_0c31&mi_00");
    ASSERT_TRUE(CreateNode(set, "USB\\VID_7A5C&PID_0C31\\5&2A3B4C5D&0&1", MultiSz({CompositeId}).Data));
    ASSERT_TRUE(CreateNode(set, "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000", MultiSz(big).Data));

    std::vector<std::string> found;
    EXPECT_EQ(EnumerateDevices(RecordInstanceId, &found, RadioSelector), 0u);
    EXPECT_EQ(found, (std::vector<std::string>{"USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000"}));
    found.clear();
    EXPECT_EQ(EnumerateDevices(RecordInstanceId, &found, CompositeSelector), 0u);
    EXPECT_EQ(found, (std::vector<std::string>{"USB\\VID_7A5C&PID_0C31\\5&2A3B4C5D&0&1"}));

    SP_DEVINFO_DATA element{};
    element.cbSize = sizeof element;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &element); ++i) {
        SetupDiCallClassInstaller(DIF_REMOVE, set, &element);
    }
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
