#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "radio_instances.h"
#include "radio_preparation.h"
#include "sim_radio.h"

namespace {

TEST(RemoteWake, MissingEnumeratorKeyWritesNothing) {
    RadioInstances instances;
    instances.Remove();
    EXPECT_FALSE(EnableRadioRemoteWake());
    EXPECT_FALSE(KeyExists(RadioEnumerator));
}

TEST(RemoteWake, NoInstancesIsStillDone) {
    RadioInstances instances;
    EXPECT_TRUE(EnableRadioRemoteWake());
    EXPECT_EQ(ValueCount(RadioEnumerator), 0u);
}

TEST(RemoteWake, EveryInstanceGetsBothValuesAndNothingElse) {
    RadioInstances instances;
    // Enumerated in name order: each longer name follows a shorter one.
    instances.Add("6");
    instances.Add("6&1&0&0000");
    instances.Add("6&1A2B3C4D&0&0000");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ParametersPath("6&1&0&0000").c_str(), 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const DWORD zero = 0;
    RegSetValueExA(key, "RemoteWakeEnabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    RegCloseKey(key);

    EXPECT_TRUE(EnableRadioRemoteWake());
    for (const char* instance : {"6", "6&1&0&0000", "6&1A2B3C4D&0&0000"}) {
        ExpectWakeValues(instance, "1");
        EXPECT_EQ(ValueCount(ParametersPath(instance)), 2u) << instance;
        EXPECT_EQ(ValueCount(InstancePath(instance)), 0u) << instance;
    }
    EXPECT_EQ(ValueCount(RadioEnumerator), 0u);
}

TEST(RemoteWake, InstancesThatCannotBeOpenedAreSkipped) {
    RadioInstances instances;
    instances.Add("A&0", false);
    instances.Add("B&0");
    instances.MakeReadOnly("B&0");
    instances.Add("C&0");

    EXPECT_TRUE(EnableRadioRemoteWake());
    EXPECT_FALSE(KeyExists(ParametersPath("A&0"))) << "the walk created a missing key";
    ExpectWakeValues("B&0", "missing");
    ExpectWakeValues("C&0", "1");
}

TEST(RemoteWake, NamesThatDoNotFitThePathAreSkipped) {
    RadioInstances instances;
    // 57 + 1 + 123 + 18 characters and the terminator fill the 200-byte path exactly.
    const std::string longest = "L" + std::string(122, 'x');
    const std::string tooLong = "M" + std::string(123, 'x');
    instances.Add(longest);
    instances.Add(tooLong);
    instances.Add("N&0");

    EXPECT_TRUE(EnableRadioRemoteWake());
    ExpectWakeValues(longest, "1");
    ExpectWakeValues(tooLong, "missing");
    ExpectWakeValues("N&0", "1");
}

TEST(RemoteWake, AnEnumerationErrorEndsTheWalk) {
    RadioInstances instances;
    // 200 characters do not fit the name buffer: the enumeration reports more data.
    instances.Add("A&0");
    instances.Add("M" + std::string(199, 'x'));
    instances.Add("Z&0");

    EXPECT_TRUE(EnableRadioRemoteWake());
    ExpectWakeValues("A&0", "1");
    ExpectWakeValues("Z&0", "missing");
}

using Log = std::vector<std::string>;

TEST(VendorRadioProbe, NoRadioAnswersAtOnce) {
    SimRadio sim;
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_EQ(sim.Log(), Log{"FindFirstRadio none"});
    EXPECT_EQ(sim.RadioFindParamSizes, std::vector<DWORD>{4});

    sim.ClearLog();
    sim.Radios = {{0x2CE71A000001}};
    sim.FindFirstRadio.FailTimes(1);
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_EQ(sim.Log(), Log{"FindFirstRadio failed"});
}

TEST(VendorRadioProbe, AnotherVendorsRadioCostsAPauseAndDoesNotMatch) {
    // The identifier read from the wrong end, or from the low bytes, is another vendor's.
    for (BTH_ADDR address : {0x001122334455ull, 0x1AE72C000001ull, 0x2CE71B000001ull, 0x0000002CE71Aull}) {
        SimRadio sim;
        sim.Radios = {{address}};
        EXPECT_FALSE(IsVendorRadioPresent()) << std::hex << address;
        EXPECT_EQ(sim.Log(), (Log{"FindFirstRadio", "GetRadioInfo 0", "Sleep 500", "CloseRadio 0",
                                  "FindNextRadio none", "FindRadioClose"}));
        EXPECT_EQ(sim.RadioInfoSizes, std::vector<DWORD>{520});
        EXPECT_EQ(sim.OpenRadioHandles(), 0u);
    }
}

TEST(VendorRadioProbe, VendorsRadioAfterAnotherMatchesAndEndsTheWalk) {
    SimRadio sim;
    sim.Radios = {{0x001122334455}, {0x2CE71A000001}, {0x2CE71A000002}};
    EXPECT_TRUE(IsVendorRadioPresent());
    EXPECT_EQ(sim.Log(), (Log{"FindFirstRadio", "GetRadioInfo 0", "Sleep 500", "CloseRadio 0", "FindNextRadio",
                              "GetRadioInfo 1", "FindRadioClose", "CloseRadio 1"}));
    EXPECT_EQ(sim.OpenRadioHandles(), 0u);
}

TEST(VendorRadioProbe, FailedRadioInfoEndsTheWalk) {
    SimRadio sim;
    sim.Radios = {{0x2CE71A000001, ERROR_INVALID_FUNCTION}, {0x2CE71A000002}};
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_EQ(sim.Log(), (Log{"FindFirstRadio", "GetRadioInfo 0 failed", "FindRadioClose", "CloseRadio 0"}));
}

TEST(VendorRadioProbe, SearchThatFailsToCloseUndoesAMatch) {
    SimRadio sim;
    sim.Radios = {{0x2CE71A000001}};
    sim.FindRadioCloseSucceeds = false;
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_EQ(sim.Log(), (Log{"FindFirstRadio", "GetRadioInfo 0", "FindRadioClose failed", "CloseRadio 0"}));
    EXPECT_EQ(sim.OpenRadioHandles(), 0u);
}

// The real enumeration under Wine finds no radio; bthprops.cpl is loaded only by that first call.
TEST(VendorRadioProbe, RealEnumerationLoadsItsModuleOnDemand) {
    EXPECT_EQ(GetModuleHandleA("bthprops.cpl"), nullptr) << "bthprops.cpl is imported";
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_NE(GetModuleHandleA("bthprops.cpl"), nullptr);
}

}  // namespace
