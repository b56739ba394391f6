// The shipped service program's command line at its edges, run from a console against
// the real SCM: command words of 10 000 characters, and a binary path with a space that
// a program planted on its prefix must not be able to take over.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "run_program.h"
#include "scm_service.h"
#include "test_service.h"

namespace {

constexpr char Name[] = "Zentrik Bluetooth Radio Control Service";
constexpr DWORD CommandTimeoutMs = 60000;
constexpr size_t LongWord = 10000;

std::string ProgramFileName() { return ServiceProgramPath().substr(ServiceProgramPath().find_last_of('\\') + 1); }

// Every run ends with exit code 0 and writes nothing. Each start of a service moves
// Wine's ServiceCurrent on, so it is pointed at no pipe again before every run.
ProgramRun RunCommand(const std::string& arguments, const std::string& program = ServiceProgramPath()) {
    PointServiceCurrentAtNoPipe();
    ProgramRun run = RunProgram(program, arguments, CommandTimeoutMs);
    EXPECT_EQ(run.ExitCode, 0u) << arguments.substr(0, 40);
    EXPECT_EQ(run.Output(), "") << arguments.substr(0, 40);
    return run;
}

DWORD State() { return QueryTestService(Name).dwCurrentState; }

std::string ProcessImage(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return "(cannot open process " + std::to_string(processId) + ")";
    char path[MAX_PATH];
    DWORD size = MAX_PATH;
    std::string image = QueryFullProcessImageNameA(process, 0, path, &size) ? std::string(path, size) : "(unknown)";
    CloseHandle(process);
    return image;
}

class CommandLine : public testing::Test {
protected:
    void SetUp() override { RemoveServiceCompletely(Name); }
    void TearDown() override { RemoveServiceCompletely(Name); }
};

// Each a single argument of 10 000 characters; the ones that begin with a command word
// (or are one in quotes, padded) must not act as it.
std::vector<std::string> LongWords() {
    std::string highBytes;
    for (size_t i = 0; i < LongWord; ++i) highBytes += static_cast<char>(0x80 + i % 0x7F);
    return {std::string(LongWord, 'A'),
            "install" + std::string(LongWord - 7, 'x'),
            "\"install" + std::string(LongWord - 9, ' ') + "\"",
            "stop" + std::string(LongWord - 4, 'p'),
            "remove" + std::string(LongWord - 6, '\\'),
            "start" + std::string(LongWord - 5, '%'),
            highBytes};
}

TEST_F(CommandLine, CommandWordsOfTenThousandCharactersAreNoCommands) {
    for (const std::string& word : LongWords()) {
        EXPECT_LT(RunCommand(word).ElapsedMs, 5000u) << "runs as the service, which fails at once from a console";
        EXPECT_FALSE(ServiceExists(Name)) << word.substr(0, 12);
    }

    RunCommand("install");
    ASSERT_EQ(State(), DWORD{SERVICE_RUNNING});
    const DWORD processId = QueryTestService(Name).dwProcessId;
    for (const std::string& word : LongWords()) RunCommand(word);
    EXPECT_TRUE(ServiceExists(Name)) << "nothing removed it";
    EXPECT_EQ(State(), DWORD{SERVICE_RUNNING}) << "nothing stopped it";
    EXPECT_EQ(QueryTestService(Name).dwProcessId, processId) << "nothing restarted it";
}

// Unquoted, "C:\radio switch\<program>" would be read as "C:\radio.exe" with an argument
// "switch\<program>": a program planted there would run as the service, as local system.
TEST_F(CommandLine, AProgramPlantedOnTheBinaryPathsPrefixIsNeverRun) {
    const std::string folder = "C:\\radio switch";
    const std::string planted = "C:\\radio.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string program = folder + "\\" + ProgramFileName();
    ASSERT_TRUE(CopyFileA(ServiceProgramPath().c_str(), program.c_str(), FALSE)) << GetLastError();
    // Itself a working service program: if the SCM ran it, the service would look fine.
    ASSERT_TRUE(CopyFileA(ServiceProgramPath().c_str(), planted.c_str(), FALSE)) << GetLastError();

    RunCommand("install", program);
    EXPECT_EQ(ReadConfig(Name).BinaryPath, "\"" + program + "\"");
    ASSERT_EQ(State(), DWORD{SERVICE_RUNNING});
    EXPECT_EQ(ProcessImage(QueryTestService(Name).dwProcessId), program);

    RemoveServiceCompletely(Name);
    DeleteFileA(planted.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
