// The machine's own record is the oracle: the driver provider of the present processor devices
// is read independently of the tool (on Windows through the Configuration Manager), and the
// tool's decision and report must agree with it. Only reads the machine's device records.
// On Windows it always runs; in a Wine prefix, when the prefix has processor devices.
#include <gtest/gtest.h>

#include <string>

#include "support/machine_drivers.h"
#include "support/scenario.h"
#include "support/wine_devices.h"

namespace {

using testing_support::Capture;
using testing_support::ConfigurationWith;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::ScopedEnvironment;

class MachineRecord : public testing_support::MachineDriverTest {
protected:
    void SetUp() override
    {
        if (testing_support::ProcessorDrivers().empty()) {
            if (testing_support::RunningUnderWine()) {
                GTEST_SKIP() << "the prefix has no processor devices of its own";
            }
            FAIL() << "the Configuration Manager lists no present processor device";
        }
        MachineDriverTest::SetUp();
    }
};

TEST_F(MachineRecord, TheToolAgreesWithTheMachinesOwnRecord)
{
    Scenario scenario(L"machine");
    scenario.AddStandInInstaller();
    const ScopedEnvironment report(L"CDC_STANDIN_REPORT", (scenario.Folder() / L"report.txt").wstring());

    scenario.WriteFile(L"CpuInfo.ini", ConfigurationWith(installed_));
    RunResult run = scenario.Run(Capture::kFile);
    EXPECT_EQ(run.out, Decision(installed_));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(scenario.Exists(L"report.txt")) << "the installer ran although the providers are the same";

    const std::wstring other = L"Not " + installed_;
    scenario.WriteFile(L"CpuInfo.ini", ConfigurationWith(other));
    run = scenario.Run(Capture::kFile);
    EXPECT_EQ(run.out, Decision(other) + scenario.LaunchReport());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    const std::string received = scenario.ReadFile(L"report.txt");
    for (const char* line : {"command_line=[ -s]\n", "startup_flags=1\n", "show_window=0\n", "finished\n"}) {
        EXPECT_NE(received.find(line), std::string::npos) << "the installer did not receive " << line << received;
    }
}

}  // namespace
