#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "debug_capture.h"
#include "lifecycle.h"
#include "radio_key.h"
#include "registry_fixture.h"
#include "report_timeline.h"
#include "sim_trace.h"

namespace {

using Texts = std::vector<std::string>;

constexpr char ReadFailedText[] = "QueryBtRadioKeyValue: Could Not Retrieve Registry Key Value!!! \n";
constexpr char OpenedText[] = "OpenBtRadioKey: Registry Key Opened Successfully !!! \n";
constexpr char ClosedText[] = "CloseBtRadioKey: Closed Radio KEY Handle!!!\n";

// The library attached with the key present, every event switched on.
class RadioStateRead : public testing::Test {
protected:
    void SetUp() override {
        session.EnableAtRegistration(1, 0);
        ASSERT_TRUE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
        session.Messages.clear();
    }
    void TearDown() override { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); }

    // Reads once so that the cached state holds a known value.
    void PrimeState(DWORD value) {
        SetRadioState(value);
        ASSERT_TRUE(QueryBtRadioKeyValue());
        session.Messages.clear();
    }

    ScopedRadioSupportKey key;
    SimTraceSession session;
};

TEST_F(RadioStateRead, KeepsTheLowByteButReportsTheWholeValue) {
    DebugCapture capture;
    SetRadioState(257);
    EXPECT_TRUE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioState, 1);
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#18(257)", "QueryBtRadioKeyValue: Current BT RADIO STATE = 257 \n"}));

    SetRadioState(256);
    EXPECT_TRUE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioState, 0) << "256 counts as off";
    SetRadioState(0xFFFFFFFF);
    EXPECT_TRUE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioState, 0xFF);
    EXPECT_EQ(capture.Texts().back(), "QueryBtRadioKeyValue: Current BT RADIO STATE = -1 \n");
}

TEST_F(RadioStateRead, RejectsEveryValueThatIsNotAFourByteDword) {
    PrimeState(3);
    const auto bytes = [](std::initializer_list<int> values) { return std::vector<BYTE>(values.begin(), values.end()); };
    const auto text = [](const std::string& t) { return std::vector<BYTE>(t.begin(), t.end()); };
    const struct {
        const char* Name;
        DWORD Type;
        std::vector<BYTE> Data;
    } cases[] = {
        {"REG_NONE, empty", REG_NONE, {}},
        {"REG_NONE of 4 bytes", REG_NONE, bytes({1, 0, 0, 0})},
        {"REG_SZ", REG_SZ, text(std::string("1") + '\0')},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, text(std::string("%SystemRoot%") + '\0')},
        {"REG_BINARY of 4 bytes", REG_BINARY, bytes({1, 0, 0, 0})},
        {"REG_BINARY of 64 KiB", REG_BINARY, std::vector<BYTE>(65536, 1)},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, bytes({0, 0, 0, 1})},
        {"REG_LINK", REG_LINK, text(std::string("\\\0R\0e\0g\0", 8))},
        {"REG_MULTI_SZ", REG_MULTI_SZ, text(std::string("1\0\0", 3))},
        {"REG_RESOURCE_LIST", REG_RESOURCE_LIST, bytes({1, 0, 0, 0})},
        {"REG_FULL_RESOURCE_DESCRIPTOR", REG_FULL_RESOURCE_DESCRIPTOR, bytes({1, 0, 0, 0})},
        {"REG_RESOURCE_REQUIREMENTS_LIST", REG_RESOURCE_REQUIREMENTS_LIST, bytes({1, 0, 0, 0})},
        {"REG_QWORD", REG_QWORD, bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {"REG_QWORD of 4 bytes", REG_QWORD, bytes({1, 0, 0, 0})},
        {"a type the platform does not define", 0x12345678, bytes({1, 0, 0, 0})},
        {"REG_DWORD of 8 bytes", REG_DWORD, bytes({1, 0, 0, 0, 0, 0, 0, 0})},
        {"REG_DWORD, empty", REG_DWORD, {}},
        {"REG_DWORD of 1 byte", REG_DWORD, bytes({1})},
        {"REG_DWORD of 2 bytes", REG_DWORD, bytes({1, 0})},
        {"REG_DWORD of 3 bytes", REG_DWORD, bytes({1, 0, 0})},
    };
    for (const auto& c : cases) {
        DebugCapture capture;
        SetRadioStateValue(c.Type, c.Data.data(), static_cast<DWORD>(c.Data.size()));
        EXPECT_FALSE(QueryBtRadioKeyValue()) << c.Name;
        EXPECT_EQ(RadioLibraryContext->RadioState, 3) << c.Name;
        EXPECT_EQ(capture.Texts(), Texts{ReadFailedText}) << c.Name;
    }
    EXPECT_EQ(EventList(session), Texts(std::size(cases), "#19"));
}

TEST_F(RadioStateRead, AMissingValueFailsEveryReadWithoutTouchingTheKey) {
    PrimeState(1);
    HKEY openKey = RadioLibraryContext->RadioKey;
    DeleteRadioStateValue();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(QueryBtRadioKeyValue());
        EXPECT_EQ(RadioLibraryContext->RadioKey, openKey);
        EXPECT_EQ(RadioLibraryContext->RadioState, 1);
    }
    EXPECT_EQ(EventList(session), (Texts{"#19", "#19", "#19"}));
    SetRadioState(0);
    EXPECT_TRUE(QueryBtRadioKeyValue()) << "the same handle reads the value once it is back";
}

TEST_F(RadioStateRead, AKeyThatIsNotOpenIsOpenedOnDemand) {
    RegCloseKey(RadioLibraryContext->RadioKey);
    RadioLibraryContext->RadioKey = nullptr;
    SetRadioState(1);
    DebugCapture capture;
    EXPECT_TRUE(QueryBtRadioKeyValue());
    EXPECT_NE(RadioLibraryContext->RadioKey, nullptr);
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#16", "OpenBtRadioKey: Registry Key Opened Successfully !!! \n", "#18(1)",
                     "QueryBtRadioKeyValue: Current BT RADIO STATE = 1 \n"}));
}

TEST_F(RadioStateRead, AKeyThatCannotBeOpenedFailsTheRead) {
    PrimeState(1);
    RegCloseKey(RadioLibraryContext->RadioKey);
    RadioLibraryContext->RadioKey = nullptr;
    DeleteRadioSupportKey();
    DebugCapture capture;
    EXPECT_FALSE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioKey, nullptr);
    EXPECT_EQ(RadioLibraryContext->RadioState, 1);
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#15", "OpenBtRadioKey: Could Not Open Registry key!!! \n", "#20",
                     "QueryBtRadioKeyValue: Registry Key Not Opened SO FAR !!! \n"}));
}

TEST_F(RadioStateRead, AKeyDeletedAndMadeAgainIsReplacedByTheReaderThatFindsItBack) {
    PrimeState(1);
    const HKEY first = RadioLibraryContext->RadioKey;
    DeleteRadioSupportKey();
    DebugCapture capture;
    EXPECT_FALSE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioKey, first) << "kept until a key can be opened";
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#15", "OpenBtRadioKey: Could Not Open Registry key!!! \n", "#19", ReadFailedText}));

    CreateRadioSupportKey();
    SetRadioState(0);
    capture.Clear();
    session.Messages.clear();
    EXPECT_TRUE(QueryBtRadioKeyValue());
    EXPECT_EQ(RadioLibraryContext->RadioState, 0);
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"#16", OpenedText, "#17", ClosedText, "#18(0)", "QueryBtRadioKeyValue: Current BT RADIO STATE = 0 \n"}));
}

// Readers on several threads while the key is deleted and made again under them. A
// handle closed twice, or by one reader while another reads through it, would close
// handles of the host: the test's own events must stay valid throughout.
TEST_F(RadioStateRead, ConcurrentReadersNeverCloseAHandleThatIsNotTheirs) {
    session.Disable();  // the simulated session records from one thread only
    PrimeState(1);
    DebugCapture capture;
    std::atomic<bool> done{false};
    std::atomic<int> lostHandles{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            while (!done) QueryBtRadioKeyValue();
        });
    threads.emplace_back([&] {
        while (!done) {
            HANDLE own = CreateEventA(nullptr, TRUE, TRUE, nullptr);
            for (int i = 0; i < 50; ++i)
                if (WaitForSingleObject(own, 0) != WAIT_OBJECT_0) ++lostHandles;
            if (!CloseHandle(own)) ++lostHandles;
        }
    });
    for (int i = 0; i < 300; ++i) {
        DeleteRadioSupportKey();
        CreateRadioSupportKey();
        SetRadioState(1);
    }
    done = true;
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(lostHandles, 0);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(QueryBtRadioKeyValue()) << "every read works once the key is back";
    // Each replacement closes exactly the one handle it replaced.
    const std::vector<CapturedOutput> outputs = capture.Outputs();
    const auto count = [&](const char* text) {
        return std::count_if(outputs.begin(), outputs.end(), [&](const CapturedOutput& o) { return o.Text == text; });
    };
    EXPECT_GT(count(OpenedText), 0) << "the readers met a deleted key";
    EXPECT_EQ(count(OpenedText), count(ClosedText));
}

}  // namespace
