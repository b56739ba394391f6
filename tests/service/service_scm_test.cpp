#include <gtest/gtest.h>

#include "run_program.h"
#include "scm_service.h"

namespace {

constexpr char ServiceName[] = "Zentrik Bluetooth Radio Control Service";
constexpr char PipePath[] = "\\\\.\\pipe\\ZkBtRcIf";

// The shipped program under Wine's real Service Control Manager.
class ServiceUnderScm : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Registered());
        ASSERT_EQ(service.Start(), DWORD{NO_ERROR});
        // Running is reported before the pipe exists; wait until the server listens.
        DWORD start = GetTickCount();
        while (!WaitNamedPipeA(PipePath, 100) && GetTickCount() - start < 10000) Sleep(20);
        ASSERT_TRUE(WaitNamedPipeA(PipePath, 1000)) << "the service serves its pipe";
    }

    static void ExpectReported(const SERVICE_STATUS& status, DWORD state, DWORD checkPoint) {
        EXPECT_EQ(status.dwCurrentState, state);
        EXPECT_EQ(status.dwControlsAccepted, 7u);
        EXPECT_EQ(status.dwWin32ExitCode, 0u);
        EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
        EXPECT_EQ(status.dwCheckPoint, checkPoint);
        EXPECT_EQ(status.dwWaitHint, 0u);
    }

    TestService service{ServiceName, ServiceProgramPath()};
};

TEST_F(ServiceUnderScm, RunsPausesContinuesAnswersInterrogateAndStops) {
    SERVICE_STATUS_PROCESS running = service.Query();
    EXPECT_EQ(running.dwCurrentState, DWORD{SERVICE_RUNNING});
    EXPECT_EQ(running.dwControlsAccepted, 7u);
    EXPECT_EQ(running.dwCheckPoint, 0u);
    EXPECT_EQ(running.dwWaitHint, 0u);
    EXPECT_NE(running.dwProcessId, 0u);

    SERVICE_STATUS status{};
    ASSERT_EQ(service.Control(SERVICE_CONTROL_PAUSE, &status), DWORD{NO_ERROR});
    ExpectReported(status, SERVICE_PAUSED, 0);
    ASSERT_EQ(service.Control(SERVICE_CONTROL_INTERROGATE, &status), DWORD{NO_ERROR});
    ExpectReported(status, SERVICE_PAUSED, 0);
    ASSERT_EQ(service.Control(SERVICE_CONTROL_CONTINUE, &status), DWORD{NO_ERROR});
    ExpectReported(status, SERVICE_RUNNING, 0);
    ASSERT_EQ(service.Control(128, &status), DWORD{NO_ERROR}) << "a user control is answered with the record";
    ExpectReported(status, SERVICE_RUNNING, 0);
    EXPECT_TRUE(WaitNamedPipeA(PipePath, 1000)) << "still serving";

    ASSERT_EQ(service.Control(SERVICE_CONTROL_STOP, &status), DWORD{NO_ERROR});
    EXPECT_TRUE(status.dwCurrentState == SERVICE_STOP_PENDING || status.dwCurrentState == SERVICE_STOPPED)
        << status.dwCurrentState;
    if (status.dwCurrentState == SERVICE_STOP_PENDING) {
        EXPECT_EQ(status.dwCheckPoint, 1u);
    }
    SERVICE_STATUS_PROCESS stopped = service.WaitForState(SERVICE_STOPPED, 10000);
    EXPECT_EQ(stopped.dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
    EXPECT_EQ(stopped.dwControlsAccepted, 7u) << "stopped still lists the controls";
    EXPECT_EQ(service.WaitForProcessExit(10000), 0u);
}

TEST_F(ServiceUnderScm, StopIsHonouredWhilePaused) {
    SERVICE_STATUS status{};
    ASSERT_EQ(service.Control(SERVICE_CONTROL_PAUSE, &status), DWORD{NO_ERROR});
    ASSERT_EQ(service.Control(SERVICE_CONTROL_STOP, &status), DWORD{NO_ERROR});
    EXPECT_EQ(service.WaitForState(SERVICE_STOPPED, 10000).dwCurrentState, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(service.WaitForProcessExit(10000), 0u);
}

TEST(ServiceFromConsole, WithoutArgumentsEndsAtOnceSilentlyWithExitCodeZero) {
    PointServiceCurrentAtNoPipe();
    ProgramRun run = RunProgram(ServiceProgramPath(), "", 15000);
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_EQ(run.Output(), "");
    EXPECT_LT(run.ElapsedMs, 5000u);
}

TEST(ServiceImage, CarriesItsVersionResourceAndAsInvokerManifest) {
    const std::string path = ServiceProgramPath();
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr) << "a program's manifest has resource ID 1";
    std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                     SizeofResource(image, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << text;
    FreeLibrary(image);

    DWORD ignored;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    char* value;
    UINT length;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, "Zentrik Bluetooth Radio Control Service");
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, path.substr(path.find_last_of('\\') + 1).c_str());
}

}  // namespace
