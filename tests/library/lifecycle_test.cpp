#include <gtest/gtest.h>

#include "debug_capture.h"
#include "diagnostics.h"
#include "lifecycle.h"
#include "radio_key.h"
#include "registry_fixture.h"
#include "report_timeline.h"
#include "sim_trace.h"

namespace {

using Texts = std::vector<std::string>;

// DllMain driven directly, as the loader would, with every event switched on.
class Lifecycle : public testing::Test {
protected:
    void SetUp() override { session.EnableAtRegistration(1, 0); }
    void TearDown() override {
        if (RadioLibraryContext) DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
        DeleteRadioSupportKey();
    }

    SimTraceSession session;
};

TEST_F(Lifecycle, AttachOpensTheKeyWithoutReadingTheValue) {
    ScopedRadioSupportKey key;
    SetRadioState(1);
    DebugCapture capture;
    EXPECT_TRUE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"DllMain  ==>> \n", "#10", "DLL_PROCESS_ATTACH !!!\n", "RadioDllInit == >> \n", "#32", "#16",
                     "OpenBtRadioKey: Registry Key Opened Successfully !!! \n", "#34", "RadioDllInit << == \n",
                     "DllMain << ==\n"}));
    ASSERT_NE(RadioLibraryContext, nullptr);
    EXPECT_NE(RadioLibraryContext->RadioKey, nullptr);
    EXPECT_EQ(RadioLibraryContext->RadioState, 0) << "the value is not read at load";
}

TEST_F(Lifecycle, DetachClosesTheKeyReleasesTheContextAndUnregisters) {
    ScopedRadioSupportKey key;
    ASSERT_TRUE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    HKEY openKey = RadioLibraryContext->RadioKey;
    session.Messages.clear();
    DebugCapture capture;
    EXPECT_TRUE(DllMain(nullptr, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"DllMain  ==>> \n", "#12", "DLL_PROCESS_DETACH\n", "RadioDllDeInit == >> \n", "#35", "#17",
                     "CloseBtRadioKey: Closed Radio KEY Handle!!!\n", "#36", "RadioDllDeInit << == \n",
                     "DllMain << ==\n"}));
    EXPECT_EQ(RadioLibraryContext, nullptr);
    EXPECT_EQ(session.Unregistered, std::vector<TRACEHANDLE>{session.NextRegistrationHandle});
    EXPECT_EQ(TraceControl, &TraceControl);
    DWORD type;
    EXPECT_EQ(RegQueryValueExA(openKey, "ZentRadioState", nullptr, &type, nullptr, nullptr), ERROR_INVALID_HANDLE)
        << "the key handle was closed";
}

TEST_F(Lifecycle, AtProcessExitNothingIsReleased) {
    ScopedRadioSupportKey key;
    ASSERT_TRUE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    RadioLibraryContextRecord* context = RadioLibraryContext;
    HKEY openKey = context->RadioKey;
    session.Messages.clear();
    DebugCapture capture;
    int processEnding;  // the loader passes a non-null reserved argument at process exit
    EXPECT_TRUE(DllMain(nullptr, DLL_PROCESS_DETACH, &processEnding));
    EXPECT_EQ(ReportTimeline(capture, session), (Texts{"DllMain  ==>> \n", "#12", "DLL_PROCESS_DETACH\n", "DllMain << ==\n"}));
    EXPECT_TRUE(session.Unregistered.empty()) << "unregistering waits for callbacks on threads that may be gone";
    EXPECT_EQ(RadioLibraryContext, context) << "the context is left to the process's end";
    EXPECT_EQ(RegQueryValueExA(openKey, "ZentRadioState", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND)
        << "the key handle is still open";
}

TEST_F(Lifecycle, AttachFailsWithoutTheKeyAndTheFollowingDetachCleansUp) {
    DeleteRadioSupportKey();
    DebugCapture capture;
    EXPECT_FALSE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(session.Unregistered.size(), 1u) << "a failed attach unregisters at once";
    // The runtime follows a failed attach with a detach; tracing is already off then.
    EXPECT_TRUE(DllMain(nullptr, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"DllMain  ==>> \n", "#10", "DLL_PROCESS_ATTACH !!!\n", "RadioDllInit == >> \n", "#32", "#15",
                     "OpenBtRadioKey: Could Not Open Registry key!!! \n", "#33", "#11", "DllMain FAILED! << ==\n",
                     "DllMain  ==>> \n", "DLL_PROCESS_DETACH\n", "RadioDllDeInit == >> \n", "RadioDllDeInit << == \n",
                     "DllMain << ==\n"}));
    EXPECT_EQ(RadioLibraryContext, nullptr);
    EXPECT_EQ(session.Unregistered.size(), 1u) << "the second unregistration does nothing";
}

TEST_F(Lifecycle, AttachFailsWhenTheKeyMayNotBeWritten) {
    ScopedRadioSupportKey key;
    // Everyone may read the key, nobody may set values in it.
    SetRadioSupportKeySecurity("D:P(A;;KR;;;WD)");
    EXPECT_FALSE(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
    EXPECT_EQ(RadioLibraryContext, nullptr);
}

TEST_F(Lifecycle, ThreadNotificationsAndUnknownReasons) {
    DebugCapture capture;
    RegisterTraceProvider();
    EXPECT_TRUE(DllMain(nullptr, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllMain(nullptr, DLL_THREAD_DETACH, nullptr));
    EXPECT_TRUE(DllMain(nullptr, 4, nullptr));
    EXPECT_TRUE(DllMain(nullptr, 0xFFFFFFFF, nullptr));
    EXPECT_EQ(ReportTimeline(capture, session),
              (Texts{"DllMain  ==>> \n", "#13", "DLL_THREAD_ATTACH\n", "DllMain << ==\n", "DllMain  ==>> \n", "#14",
                     "DLL_THREAD_DETACH\n", "DllMain << ==\n", "DllMain  ==>> \n", "DEFAULT\n", "DllMain << ==\n",
                     "DllMain  ==>> \n", "DEFAULT\n", "DllMain << ==\n"}));
    UnregisterTraceProvider();
}

}  // namespace
