#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fake_radios.h"
#include "radio_instances.h"
#include "radio_preparation.h"
#include "sim_clock.h"

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

std::array<BYTE, 6> VendorAddress() { return RadioAddress(0x2C, 0xE7, 0x1A); }

TEST(VendorRadioProbe, NoRadioAnswersAtOnce) {
    SimClock clock;
    FakeRadios radios({});
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_EQ(radios.FindFirstCalls, 1);
    EXPECT_TRUE(clock.Sleeps.empty());
    EXPECT_FALSE(radios.SearchClosed) << "there was no search to close";
    EXPECT_TRUE(radios.Closed.empty());
}

TEST(VendorRadioProbe, OtherRadiosCostAPauseEachAndDoNotMatch) {
    // The identifier read from the wrong end, or from the low bytes, is another vendor's.
    for (auto address : {RadioAddress(0x00, 0x11, 0x22), RadioAddress(0x1A, 0xE7, 0x2C),
                         RadioAddress(0x2C, 0xE7, 0x1B), std::array<BYTE, 6>{0x1A, 0xE7, 0x2C, 0, 0, 0}}) {
        SimClock clock;
        FakeRadios radios({{address}});
        EXPECT_FALSE(IsVendorRadioPresent());
        EXPECT_EQ(clock.Sleeps, std::vector<DWORD>{500});
        EXPECT_TRUE(radios.SearchClosed);
        EXPECT_EQ(radios.Closed, std::vector<HANDLE>{FakeRadios::RadioHandle(0)});
    }
}

TEST(VendorRadioProbe, VendorsRadioAfterAnotherMatches) {
    SimClock clock;
    FakeRadios radios({{RadioAddress(0x00, 0x11, 0x22)}, {VendorAddress()}, {VendorAddress()}});
    EXPECT_TRUE(IsVendorRadioPresent());
    EXPECT_EQ(clock.Sleeps, std::vector<DWORD>{500});
    EXPECT_EQ(radios.Opened.size(), 2u) << "the walk goes on past the match";
    EXPECT_TRUE(radios.SearchClosed);
    EXPECT_EQ(radios.Closed, radios.Opened);
}

TEST(VendorRadioProbe, FailedRadioInfoEndsTheWalk) {
    SimClock clock;
    FakeRadios radios({{VendorAddress(), ERROR_INVALID_HANDLE}, {VendorAddress()}});
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_TRUE(clock.Sleeps.empty());
    EXPECT_EQ(radios.Opened.size(), 1u);
    EXPECT_TRUE(radios.SearchClosed);
    EXPECT_EQ(radios.Closed, radios.Opened);
}

TEST(VendorRadioProbe, SearchThatFailsToCloseUndoesAMatch) {
    SimClock clock;
    FakeRadios radios({{VendorAddress()}});
    radios.CloseResult = FALSE;
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_TRUE(clock.Sleeps.empty());
    EXPECT_EQ(radios.Closed, std::vector<HANDLE>{FakeRadios::RadioHandle(0)});
}

// The real enumeration under Wine finds no radio; bthprops.cpl is loaded only by that first call.
TEST(VendorRadioProbe, RealEnumerationLoadsItsModuleOnDemand) {
    EXPECT_EQ(GetModuleHandleA("bthprops.cpl"), nullptr) << "bthprops.cpl is imported";
    EXPECT_FALSE(IsVendorRadioPresent());
    EXPECT_NE(GetModuleHandleA("bthprops.cpl"), nullptr);
}

}  // namespace
