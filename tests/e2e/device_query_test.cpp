// The built tool against Wine's own device-setup service, given processor devices and driver
// INF files for the length of each test. Skipped outside Wine.
#include <gtest/gtest.h>

#include "support/machine_drivers.h"
#include "support/scenario.h"
#include "support/wine_devices.h"

namespace {

using testing_support::Capture;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::WineDeviceRecords;

class DeviceQuery : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::RunningUnderWine()) {
            GTEST_SKIP() << "changes device records: only in a Wine prefix";
        }
        // The expectations below hold only when these tests' devices are the prefix's only ones.
        const std::vector<testing_support::ProcessorDriver> own = testing_support::ProcessorDrivers();
        if (!own.empty()) {
            GTEST_SKIP() << "the prefix has processor devices of its own: " << testing_support::Names(own);
        }
    }

    RunResult RunWith(const char* configuredProvider)
    {
        scenario_.WriteFile(L"CpuInfo.ini", std::string("[CPU]\r\nProvider=") + configuredProvider + "\r\n");
        return scenario_.Run(Capture::kFile);
    }

    Scenario scenario_;
    WineDeviceRecords records_;
};

TEST_F(DeviceQuery, MatchingProviderNeedsNothing)
{
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0000", L"ROOT\\CDCTESTCPU");
    records_.AddDriverInf(L"cdctest1.inf", L"Example Provider", L"ROOT\\CDCTESTCPU");
    const RunResult run = RunWith("Example Provider");
    EXPECT_EQ(run.out, "don't need...\r\nini=Example Provider, driver=Example Provider\r\n");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(DeviceQuery, DifferingProviderOrLetterCaseNeedsTheInstaller)
{
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0000", L"ROOT\\CDCTESTCPU");
    records_.AddDriverInf(L"cdctest1.inf", L"Example Provider", L"ROOT\\CDCTESTCPU");
    // A trailing space survives the profile reader only inside quotes.
    struct Case {
        const char* ini;
        const char* shown;
    } const cases[] = {
        {"Other Provider", "Other Provider"},
        {"example provider", "example provider"},
        {"\"Example Provider \"", "Example Provider "},
        {"", ""},
    };
    for (const Case& c : cases) {
        const std::string decision =
            std::string("need to install driver\r\nini=") + c.shown + ", driver=Example Provider\r\n";
        const RunResult run = RunWith(c.ini);
        EXPECT_EQ(run.out.substr(0, decision.size()), decision);
        EXPECT_EQ(run.exitCode, 0u);
    }
}

TEST_F(DeviceQuery, EachLaterDriverEntryWarnsOnTheDecisionLine)
{
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0000", L"ROOT\\CDCTESTCPU");
    records_.AddDriverInf(L"cdctest1.inf", L"First Provider", L"ROOT\\CDCTESTCPU");
    records_.AddDriverInf(L"cdctest2.inf", L"Second Provider", L"ROOT\\CDCTESTCPU");
    RunResult run = RunWith("Second Provider");
    EXPECT_EQ(run.out, "double check again !!!don't need...\r\nini=Second Provider, driver=Second Provider\r\n");

    records_.AddDriverInf(L"cdctest3.inf", L"Third Provider", L"ROOT\\CDCTESTCPU");
    run = RunWith("Third Provider");
    EXPECT_EQ(run.out,
              "double check again !!!double check again !!!don't need...\r\n"
              "ini=Third Provider, driver=Third Provider\r\n");
}

TEST_F(DeviceQuery, OnlyTheLastOfSeveralDevicesCounts)
{
    // Wine lists devices in the order of their instance paths: ...\0001 comes last.
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0000", L"ROOT\\CDCTESTCPU");
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0001", L"ROOT\\CDCTESTCPUB");
    records_.AddDriverInf(L"cdctest1.inf", L"First Device Provider", L"ROOT\\CDCTESTCPU");
    records_.AddDriverInf(L"cdctest2.inf", L"Last Device Provider", L"ROOT\\CDCTESTCPUB");
    const RunResult run = RunWith("Last Device Provider");
    EXPECT_EQ(run.out, "don't need...\r\nini=Last Device Provider, driver=Last Device Provider\r\n");
}

TEST_F(DeviceQuery, DeviceWithoutAnyDriverLeavesTheProviderEmpty)
{
    records_.AddProcessor(L"ROOT\\CDCTESTCPU\\0000", L"ROOT\\CDCTESTNODRIVER");
    const RunResult run = RunWith("");
    EXPECT_EQ(run.out, "don't need...\r\nini=, driver=\r\n");
}

}  // namespace
