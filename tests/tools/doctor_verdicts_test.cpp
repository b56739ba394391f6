// The doctor's verdicts where they depend on what Wine cannot vary: the token's rights,
// the bitness of Windows, a pipe that refuses access. The checks run in this process
// against the real registry, SCM and library, with the doctor's seam giving those answers.
#include <gtest/gtest.h>

#include <windows.h>
#include <rpc.h>

#include <cstdio>
#include <string>

#include "doctor.h"
#include "registry_fixture.h"
#include "scm_service.h"
#include "simulated_service_fixture.h"
#include "test_paths.h"
#include "tool_environment.h"

namespace {

constexpr char ServiceName[] = "Zentrik Bluetooth Radio Control Service";
constexpr USHORT MachineI386 = 0x014C, MachineAmd64 = 0x8664, MachineArm64 = 0xAA64;
constexpr TokenFacts OrdinaryPrompt{false, false}, ElevatedPrompt{true, false}, LocalSystem{false, true};

TokenFacts Token;
USHORT Native;
ULONG PipeServer;
DWORD PipeServerError;

TokenFacts AnswerToken() { return Token; }
USHORT AnswerNativeMachine() { return Native; }
// The RPC runtime's answer when the pipe refuses the caller.
void RefuseAccess(handle_t, const char*) { RpcRaiseException(RPC_S_ACCESS_DENIED); }
DWORD AnswerPipeServer(const char*, ULONG* processId) {
    *processId = PipeServer;
    return PipeServerError;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

#define EXPECT_VERDICT(link, status, part)                                                                   \
    do {                                                                                                     \
        const LinkReport& link_ = (link);                                                                    \
        EXPECT_EQ(link_.Status, status) << link_.Link << ": " << link_.Found;                                \
        EXPECT_TRUE(Contains(link_.Found, part)) << link_.Link << ": " << link_.Found << "\n  lacks " << part; \
    } while (0)

class DoctorVerdicts : public testing::Test {
protected:
    DoctorVerdicts() {
        Token = OrdinaryPrompt;
        Native = MachineAmd64;
        ToolPlatform.ReadTokenFacts = AnswerToken;
        ToolPlatform.NativeMachine = AnswerNativeMachine;
    }
    ~DoctorVerdicts() override { ToolPlatform = RealToolPlatform; }
};

// The start of a Windows image for `machine`: all of a program the doctor reads.
std::string WriteImageHeader(const char* name, WORD machine) {
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    const std::string path = std::string(directory) + name;
    BYTE image[512] = {'M', 'Z'};
    image[0x3C] = 0x80;  // e_lfanew
    image[0x80] = 'P';
    image[0x81] = 'E';
    image[0x84] = static_cast<BYTE>(machine);
    image[0x85] = static_cast<BYTE>(machine >> 8);
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file) {
        std::fwrite(image, 1, sizeof image, file);
        std::fclose(file);
    }
    return path;
}

TEST_F(DoctorVerdicts, AKeyRefusedToAnOrdinaryPromptIsNotJudgedBroken) {
    ScopedRadioSupportKey key;
    SetRadioState(0);
    // Readable, but not with the right to set values: the library refuses to load.
    SetRadioSupportKeySecurity("D:P(A;;0x20019;;;WD)");

    LinkReport link = CheckRadioSupportKey();
    EXPECT_VERDICT(link, LinkStatus::Warning, "not elevated, may only read it");
    EXPECT_VERDICT(link, LinkStatus::Warning, "could not judge");
    EXPECT_TRUE(Contains(link.Remedy, "elevated prompt")) << link.Remedy;
    link = CheckLibrary(LibraryPath());
    EXPECT_VERDICT(link, LinkStatus::Warning, "error 1114");
    EXPECT_VERDICT(link, LinkStatus::Warning, "could not judge");
    EXPECT_TRUE(Contains(link.Remedy, "elevated prompt")) << link.Remedy;

    // Refused with the rights of the platform's process, the link is broken.
    for (TokenFacts token : {ElevatedPrompt, LocalSystem}) {
        Token = token;
        EXPECT_VERDICT(CheckRadioSupportKey(), LinkStatus::Broken, "access denied: this account may only read it");
        EXPECT_VERDICT(CheckLibrary(LibraryPath()), LinkStatus::Broken, "error 1114");
    }

    // A missing key is no matter of rights: broken for anyone.
    Token = OrdinaryPrompt;
    DeleteRadioSupportKey();
    EXPECT_VERDICT(CheckRadioSupportKey(), LinkStatus::Broken, "is missing");
    EXPECT_VERDICT(CheckLibrary(LibraryPath()), LinkStatus::Broken, "error 1114");
}

TEST_F(DoctorVerdicts, AServiceImageOfTheOtherBitnessIsBrokenWhereItCannotSwitch) {
    {
        TestService service(ServiceName, WriteImageHeader("radioswitchsvc.exe", MachineI386));
        for (USHORT native : {MachineAmd64, MachineArm64}) {
            Native = native;
            const LinkReport link = CheckService();
            EXPECT_VERDICT(link, LinkStatus::Broken, "a 32-bit image on 64-bit Windows");
            EXPECT_VERDICT(link, LinkStatus::Broken, "ERROR_IN_WOW64");
            EXPECT_TRUE(Contains(link.Remedy, "install the 64-bit service")) << link.Remedy;
            EXPECT_TRUE(Contains(link.Remedy, native == MachineArm64 ? "then radioswitchsvcarm64.exe install"
                                                                     : "then radioswitchsvc64.exe install"))
                << link.Remedy;
        }
        // On 32-bit Windows it fits: it is only stopped.
        Native = MachineI386;
        const LinkReport link = CheckService();
        EXPECT_VERDICT(link, LinkStatus::Broken, "(file present), 32-bit image, own process");
        EXPECT_TRUE(Contains(link.Remedy, "start it")) << link.Remedy;
    }
    {
        TestService service(ServiceName, WriteImageHeader("radioswitchsvc64.exe", MachineAmd64));
        Native = MachineI386;
        const LinkReport link = CheckService();
        EXPECT_VERDICT(link, LinkStatus::Broken, "a 64-bit image, which 32-bit Windows cannot run");
        EXPECT_TRUE(Contains(link.Remedy, "install the 32-bit service")) << link.Remedy;
        // Windows on Arm runs it emulated: the ARM64 service is the one made for it.
        Native = MachineArm64;
        EXPECT_VERDICT(CheckService(), LinkStatus::Broken, "an x64 image on Windows on Arm, which runs it emulated");
        EXPECT_TRUE(Contains(CheckService().Remedy, "then radioswitchsvcarm64.exe install")) << CheckService().Remedy;
    }
    TestService service(ServiceName, WriteImageHeader("radioswitchsvcarm64.exe", MachineArm64));
    Native = MachineAmd64;
    const LinkReport link = CheckService();
    EXPECT_VERDICT(link, LinkStatus::Broken, "an ARM64 image, which only Windows on Arm runs");
    EXPECT_TRUE(Contains(link.Remedy, "then radioswitchsvc64.exe install")) << link.Remedy;
    Native = MachineArm64;
    EXPECT_VERDICT(CheckService(), LinkStatus::Broken, "(file present), ARM64 image, own process");
}

TEST_F(DoctorVerdicts, APipeThatRefusesAccessIsJudgedByTheProcessThatServesIt) {
    ToolPlatform.RequestRadioSwitch = RefuseAccess;
    ToolPlatform.PipeServerProcessId = AnswerPipeServer;
    constexpr char BothMeanings[] = "either this account lacks the right to the pipe, or another process owns the name";

    // With no service registered, whatever serves the pipe is another program, for any caller.
    PipeServer = 0;
    PipeServerError = ERROR_ACCESS_DENIED;
    LinkReport link = CheckPipe();
    EXPECT_VERDICT(link, LinkStatus::Broken, "access denied on \\pipe\\ZkBtRcIf");
    EXPECT_VERDICT(link, LinkStatus::Broken, "another process serves the pipe, since the service does not run");
    EXPECT_TRUE(Contains(link.Remedy, "taken the service's pipe name")) << link.Remedy;

    SimulatedService service(SimulatedServicePath());
    ASSERT_TRUE(service.StartServing());
    const DWORD serviceId = service.Scm().Query().dwProcessId;
    ASSERT_NE(serviceId, 0u);
    char expected[160];

    PipeServer = serviceId + 4;
    PipeServerError = ERROR_SUCCESS;
    std::snprintf(expected, sizeof expected, "served by process ID %lu, not by the service (process ID %lu)",
                  serviceId + 4, serviceId);
    link = CheckPipe();
    EXPECT_VERDICT(link, LinkStatus::Broken, expected);
    EXPECT_TRUE(Contains(link.Remedy, "taken the service's pipe name")) << link.Remedy;

    // The service's own pipe refusing this account: only an elevated prompt can judge that.
    PipeServer = serviceId;
    link = CheckPipe();
    EXPECT_VERDICT(link, LinkStatus::Warning, "the service's own");
    EXPECT_VERDICT(link, LinkStatus::Warning, "could not judge");
    EXPECT_TRUE(Contains(link.Remedy, "elevated prompt")) << link.Remedy;
    Token = ElevatedPrompt;
    EXPECT_VERDICT(CheckPipe(), LinkStatus::Broken, "the service's own");

    // Where Windows does not tell the pipe's server, the remedy tells how to find out.
    Token = OrdinaryPrompt;
    PipeServer = 0;
    for (DWORD error : {DWORD{ERROR_SUCCESS}, DWORD{ERROR_ACCESS_DENIED}}) {
        PipeServerError = error;
        link = CheckPipe();
        EXPECT_VERDICT(link, LinkStatus::Warning, BothMeanings);
        EXPECT_TRUE(Contains(link.Remedy, "sc queryex \"Zentrik Bluetooth Radio Control Service\"")) << link.Remedy;
        EXPECT_TRUE(Contains(link.Remedy, "handle ZkBtRcIf")) << link.Remedy;
    }
    Token = LocalSystem;
    EXPECT_VERDICT(CheckPipe(), LinkStatus::Broken, BothMeanings);
}

}  // namespace
