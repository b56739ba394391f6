// radioctl run as a user runs it, against the real library DLL.
#include <gtest/gtest.h>

#include <string>

#include "registry_fixture.h"
#include "run_program.h"
#include "test_paths.h"

namespace {

ProgramRun Radioctl(const std::string& arguments) {
    return RunProgram(BinaryDirectory() + "radioctl" RADIOSWITCH_IMAGE_SUFFIX ".exe", arguments);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(RadioctlArguments, RefusesWhatItCannotDo) {
    struct Case {
        const char* Arguments;
        const char* Message;
    } cases[] = {
        {"", "no command given"},
        {"toggle", "unknown argument \"toggle\""},
        {"on off", "give one command only"},
        {"status --dll", "--dll needs a path"},
        {"--debug-output", "no command given"},
        {"--json status", "--json goes with doctor only"},
        {"--debug-output doctor", "--debug-output goes with status, on and off only"},
        {"doctor status", "give one command only"},
    };
    for (const Case& c : cases) {
        ProgramRun run = Radioctl(c.Arguments);
        EXPECT_EQ(run.ExitCode, 2u) << c.Arguments;
        EXPECT_TRUE(Contains(run.Err, c.Message)) << c.Arguments << ": " << run.Err;
        EXPECT_TRUE(Contains(run.Err, "usage: radioctl")) << c.Arguments;
        EXPECT_EQ(run.Out, "") << c.Arguments;
    }
}

TEST(RadioctlArguments, HelpGoesToStandardOutput) {
    ProgramRun run = Radioctl("--help");
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(Contains(run.Out, "usage: radioctl [--dll PATH] [--debug-output] status|on|off"));
    EXPECT_TRUE(Contains(run.Out, "radioctl [--dll PATH] [--json] doctor"));
}

TEST(RadioctlImage, SaysItsVersionAndCarriesItInItsVersionResource) {
#if defined(__aarch64__)
    constexpr char name[] = "radioctlarm64";
#elif defined(_WIN64)
    constexpr char name[] = "radioctl64";
#else
    constexpr char name[] = "radioctl";
#endif
    ProgramRun run = Radioctl("--version");
    EXPECT_EQ(run.ExitCode, 0u);
    std::erase(run.Out, '\r');
    EXPECT_EQ(run.Out, std::string(name) + " " RADIOSWITCH_VERSION "\n");

    const std::string path = BinaryDirectory() + name + ".exe";
    DWORD ignored;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    const auto value = [&](const char* field) {
        char* text = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + field;
        return VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text
                   ? std::string(text)
                   : std::string("(missing)");
    };
    EXPECT_EQ(value("FileDescription"), "Zentrik Bluetooth Radio Control Tool");
    EXPECT_EQ(value("OriginalFilename"), std::string(name) + ".exe");
    EXPECT_EQ(value("FileVersion"), RADIOSWITCH_VERSION ".0");
    EXPECT_EQ(value("ProductVersion"), RADIOSWITCH_VERSION ".0");
}

TEST(RadioctlLibrary, SaysWhenTheLibraryIsMissing) {
    ProgramRun run = Radioctl("--dll C:\\nowhere\\radioswitch.dll status");
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_TRUE(Contains(run.Err, "C:\\nowhere\\radioswitch.dll not found")) << run.Err;
}

TEST(RadioctlLibrary, SaysWhyTheLibraryRefusedToLoad) {
    DeleteRadioSupportKey();
    ProgramRun run = Radioctl("status");
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_TRUE(Contains(run.Err, "error 1114")) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "Radio Support with the right to set values")) << run.Err;
}

TEST(RadioctlLibrary, SaysWhichExportIsMissing) {
    ProgramRun run = Radioctl("--dll kernel32.dll on");
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_TRUE(Contains(run.Err, "kernel32.dll does not export BluetoothEnableRadio")) << run.Err;
}

class RadioctlCalls : public testing::Test {
protected:
    ScopedRadioSupportKey key;
};

TEST_F(RadioctlCalls, StatusReportsTheStateAndTheResult) {
    SetRadioState(1);
    ProgramRun run = Radioctl("status");
    EXPECT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_TRUE(Contains(run.Out, "IsBluetoothRadioEnabled -> 0 (ERROR_SUCCESS) in ")) << run.Out;
    EXPECT_TRUE(Contains(run.Out, "radio is on (state 1)")) << run.Out;

    SetRadioState(0);
    run = Radioctl("STATUS");
    EXPECT_TRUE(Contains(run.Out, "radio is off (state 0)")) << run.Out;
}

TEST_F(RadioctlCalls, AFailedExportGivesANonZeroExitCode) {
    // No ZentRadioState value: both exports answer 87 at once.
    ProgramRun status = Radioctl("status");
    EXPECT_EQ(status.ExitCode, 1u);
    EXPECT_TRUE(Contains(status.Out, "IsBluetoothRadioEnabled -> 87 (ERROR_INVALID_PARAMETER)")) << status.Out;
    EXPECT_FALSE(Contains(status.Out, "radio is"));

    ProgramRun on = Radioctl("on");
    EXPECT_EQ(on.ExitCode, 1u);
    EXPECT_TRUE(Contains(on.Out, "BluetoothEnableRadio(1) -> 87 (ERROR_INVALID_PARAMETER)")) << on.Out;
}

TEST_F(RadioctlCalls, DebugOutputShowsTheLibrarysTextsInOrder) {
    SetRadioState(0);
    ProgramRun run = Radioctl("--debug-output status");
    EXPECT_EQ(run.ExitCode, 0u);
    // The console's text mode turns each line end into CR LF.
    std::erase(run.Out, '\r');
    const char* expected[] = {
        "ZUZORERIZEZUDADUR:DLL_PROCESS_ATTACH !!!\n",
        "ZUZORERIZEZUDADUR:IsBluetoothRadioEnabled: IsBluetoothRadioEnabled ==>> \n",
        "ZUZORERIZEZUDADUR:QueryBtRadioKeyValue: Current BT RADIO STATE = 0 \n",
        "ZUZORERIZEZUDADUR:IsBluetoothRadioEnabled IsBluetoothRadioEnabled << == RADIO STATE = 0 \n",
        "IsBluetoothRadioEnabled -> 0 (ERROR_SUCCESS)",
        "ZUZORERIZEZUDADUR:DLL_PROCESS_DETACH\n",
    };
    size_t position = 0;
    for (const char* text : expected) {
        size_t found = run.Out.find(text, position);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text << "\n" << run.Out;
        position = found;
    }
    EXPECT_FALSE(Contains(Radioctl("status").Out, "ZUZORERIZEZUDADUR:")) << "only when asked for";
}

}  // namespace
