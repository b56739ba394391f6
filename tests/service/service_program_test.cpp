// The shipped service program's command line, run from a console against the real SCM.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "scm_service.h"
#include "test_service.h"

namespace {

constexpr char Name[] = "Zentrik Bluetooth Radio Control Service";
// Plenty for a command that waits on the SCM; the service stops within moments.
constexpr DWORD CommandTimeoutMs = 60000;

std::string ProgramFileName() { return ServiceProgramPath().substr(ServiceProgramPath().find_last_of('\\') + 1); }

class ServiceProgram : public testing::Test {
protected:
    void SetUp() override { RemoveServiceCompletely(Name); }
    void TearDown() override { RemoveServiceCompletely(Name); }

    // Every run ends with exit code 0 and writes nothing. Each start of a service moves
    // Wine's ServiceCurrent on, so it is pointed at no pipe again before every run.
    static ProgramRun Run(const std::string& argument, const std::string& program = ServiceProgramPath()) {
        PointServiceCurrentAtNoPipe();
        ProgramRun run = RunProgram(program, argument, CommandTimeoutMs);
        EXPECT_EQ(run.ExitCode, 0u) << "\"" << argument << "\"";
        EXPECT_EQ(run.Output(), "") << "\"" << argument << "\"";
        return run;
    }
    static DWORD State() { return QueryTestService(Name).dwCurrentState; }

    // Copies the program into the folder, made if missing; the test removes both.
    static std::string CopyProgramTo(const std::string& folder) {
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string copy = folder + "\\" + ProgramFileName();
        EXPECT_TRUE(CopyFileA(ServiceProgramPath().c_str(), copy.c_str(), FALSE)) << copy << ": " << GetLastError();
        return copy;
    }
};

TEST_F(ServiceProgram, InstallRegistersTheServiceAndStartsIt) {
    Run("install");
    ASSERT_TRUE(ServiceExists(Name));
    const ServiceConfig config = ReadConfig(Name);
    EXPECT_EQ(config.Type, DWORD{SERVICE_WIN32_OWN_PROCESS});
    EXPECT_EQ(config.StartType, DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(config.ErrorControl, DWORD{SERVICE_ERROR_NORMAL});
    EXPECT_EQ(config.Account, "LocalSystem");
    EXPECT_EQ(config.DisplayName, Name);
    EXPECT_EQ(config.BinaryPath, ServiceProgramPath());
    EXPECT_EQ(config.LoadOrderGroup, "");
    EXPECT_EQ(config.Dependencies, "");
    EXPECT_EQ(config.TagId, 0u);
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING});
}

TEST_F(ServiceProgram, InstallOfARegisteredServiceOnlyStartsIt) {
    Run("install");
    Run("stop");
    ASSERT_EQ(State(), DWORD{SERVICE_STOPPED});
    SetDemandStart(Name);
    Run("INSTALL");
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ReadConfig(Name).StartType, DWORD{SERVICE_DEMAND_START});
}

TEST_F(ServiceProgram, StopStartAndRemove) {
    Run("install");
    Run("stop");
    EXPECT_EQ(State(), DWORD{SERVICE_STOPPED});
    EXPECT_LT(Run("Stop").ElapsedMs, 5000u) << "a stopped service needs no control";
    EXPECT_EQ(State(), DWORD{SERVICE_STOPPED});

    // Under Wine the dispatcher call that follows a start waits 10 s for the new control pipe.
    Run("start");
    const SERVICE_STATUS_PROCESS running = QueryTestService(Name);
    EXPECT_EQ(running.dwCurrentState, DWORD{SERVICE_RUNNING});
    EXPECT_LT(Run("START").ElapsedMs, 5000u) << "a running service needs no start";
    EXPECT_EQ(QueryTestService(Name).dwProcessId, running.dwProcessId);

    Run("stop");
    Run("remove");
    EXPECT_FALSE(ServiceExists(Name));
}

TEST_F(ServiceProgram, AnyOtherWordRunsAsTheServiceAndEndsAtOnce) {
    for (const std::string& word : {std::string(), std::string("-install"), std::string("installx"),
                                    std::string("/remove"), std::string("Stops"), std::string(300, 'i')}) {
        EXPECT_LT(Run(word).ElapsedMs, 5000u) << word;
        EXPECT_FALSE(ServiceExists(Name)) << word;
    }
}

// A path that fills the 200-character buffer may have been cut: a plain path fits up to
// 199 characters, a quoted one up to 198 (200 with its quotes).
TEST_F(ServiceProgram, PathThatDoesNotFitIsNotRegisteredButARegisteredServiceStarts) {
    const size_t name = ProgramFileName().size();
    struct Case { std::string Folder; bool Registered; };
    const Case cases[] = {
        {"C:\\" + std::string(199 - 3 - 1 - name, 'd'), true},
        {"C:\\" + std::string(200 - 3 - 1 - name, 'e'), false},
        {"C:\\" + std::string(198 - 3 - 1 - name - 2, 'f') + " f", true},
        {"C:\\" + std::string(199 - 3 - 1 - name - 2, 'g') + " g", false},
    };
    for (const Case& c : cases) {
        const std::string program = CopyProgramTo(c.Folder);
        Run("install", program);
        EXPECT_EQ(ServiceExists(Name), c.Registered) << program.size() << " characters: " << program;
        if (c.Registered) {
            const bool quoted = program.find(' ') != std::string::npos;
            EXPECT_EQ(ReadConfig(Name).BinaryPath, quoted ? "\"" + program + "\"" : program);
        }
        RemoveServiceCompletely(Name);
        DeleteFileA(program.c_str());
        RemoveDirectoryA(c.Folder.c_str());
    }

    // A registered service is still started, as by every "install", and keeps its path.
    Run("install");
    Run("stop");
    ASSERT_EQ(State(), DWORD{SERVICE_STOPPED});
    const std::string program = CopyProgramTo(cases[1].Folder);
    Run("install", program);
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ReadConfig(Name).BinaryPath, ServiceProgramPath());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(cases[1].Folder.c_str());
}

// The image's message table holds the text of every event the service writes, under
// the event's own ID (no severity bits), with the inserts in the order they are written
// and the count of left-out events last: what Event Viewer shows once the source is
// registered with this image as its message file.
TEST(ServiceImage, CarriesTheMessageOfEveryEvent) {
    HMODULE image = LoadLibraryExA(ServiceProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr) << GetLastError();
    struct Case {
        DWORD Id;
        std::vector<const char*> Inserts;
        const char* Begins;
    } cases[] = {
        {100, {"\\pipe\\ZkBtRcIf", "4"}, "The service started and serves the radio control interface on \\pipe\\ZkBtRcIf."},
        {101, {"RpcServerListen", "1713 (0x000006B1)", "4"},
         "The service could not start: RpcServerListen failed with status 1713 (0x000006B1)."},
        {200, {"off", "0", "4"}, "The radio is now off: its Bluetooth port interface came or went, and ZentRadioState "
                                 "now holds 0."},
        {201, {"on", "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000", "SetupDiCallClassInstaller", "31 (0x0000001F)", "4"},
         "Switching the radio on failed on the device node USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000: "
         "SetupDiCallClassInstaller failed with error 31 (0x0000001F)."},
        {202, {"off", "4"}, "A request to switch the radio off waited 120 seconds"},
        {203, {"off", "USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000", "4"},
         "Switching the radio off on the device node USB\\VID_7A5C&PID_0C31&MI_00\\6&1&0&0000 would take effect only "
         "after Windows restarts: another program holds the radio."},
        {300, {"RegSetValueExA", "5 (0x00000005)", "4"},
         "The service could not write ZentRadioState under "
         "HKLM\\SYSTEM\\CurrentControlSet\\services\\BTHPORT\\Parameters\\Radio Support: RegSetValueExA failed with "
         "error 5 (0x00000005)."},
    };
    for (const Case& c : cases) {
        std::vector<DWORD_PTR> arguments;
        for (const char* insert : c.Inserts) arguments.push_back(reinterpret_cast<DWORD_PTR>(insert));
        char text[2048] = {};
        DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, image, c.Id,
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text,
                                      reinterpret_cast<va_list*>(arguments.data()));
        ASSERT_NE(length, 0u) << c.Id << ": " << GetLastError();
        const std::string message(text, length);
        EXPECT_EQ(message.rfind(c.Begins, 0), 0u) << c.Id << ": " << message;
        const std::string tail = "Events of this kind left out since the last one: 4.";
        EXPECT_NE(message.find("\r\n" + tail), std::string::npos) << c.Id << ": " << message;
    }
    FreeLibrary(image);
}

}  // namespace
