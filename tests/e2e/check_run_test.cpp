// The built tool, run as a child process in throwaway folders: exact bytes and exit code.
#include <gtest/gtest.h>

#include <string>

#include "support/scenario.h"

namespace {

using testing_support::Capture;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::Utf16LeWithBom;

constexpr Capture kBothCaptures[] = {Capture::kFile, Capture::kPipe};

const char* Name(Capture capture) { return capture == Capture::kFile ? "to a file" : "to a pipe"; }

// `decision` is the decision and report lines; a run that installs adds the launch report.
// Every scenario has the stand-in installer, which here only starts and ends.
void ExpectRun(const Scenario& scenario, const std::string& decision)
{
    scenario.AddStandInInstaller();
    const bool installs = decision.rfind("need to install driver\r\n", 0) == 0;
    const std::string expectedOut = installs ? decision + scenario.LaunchReport() : decision;
    for (const Capture capture : kBothCaptures) {
        const RunResult run = scenario.Run(capture);
        ASSERT_TRUE(run.finished) << Name(capture);
        EXPECT_EQ(run.out, expectedOut) << Name(capture);
        EXPECT_EQ(run.err, "") << Name(capture);
        EXPECT_EQ(run.exitCode, 0u) << Name(capture);
    }
}

TEST(CheckRun, WithoutConfigurationOrDriverThereIsNothingToInstall)
{
    Scenario scenario;
    ExpectRun(scenario, "don't need...\r\nini=, driver=\r\n");
}

TEST(CheckRun, ReadsTheConfiguredProviderAndDecidesOnIt)
{
    struct Case {
        const char* what;
        std::string ini;
        std::string out;
    } const cases[] = {
        {"all three keys",
         "[CPU]\r\nProvider=Example Provider\r\nDate=07/15/2021\r\nVersion=10.0.19041.1\r\n",
         "need to install driver\r\nini=Example Provider, driver=\r\n"},
        {"provider only, LF line ends", "[CPU]\nProvider=Example Provider\n",
         "need to install driver\r\nini=Example Provider, driver=\r\n"},
        {"empty provider", "[CPU]\r\nProvider=\r\nDate=1/2/2020\r\n", "don't need...\r\nini=, driver=\r\n"},
        {"other section only", "[GPU]\r\nProvider=Example Provider\r\n", "don't need...\r\nini=, driver=\r\n"},
        {"other keys only", "[CPU]\r\nVendor=Example\r\n", "don't need...\r\nini=, driver=\r\n"},
        {"empty file", "", "don't need...\r\nini=, driver=\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini", c.ini);
        ExpectRun(scenario, c.out);
        EXPECT_EQ(scenario.ReadFile(L"CpuInfo.ini"), c.ini) << "the configuration is only read";
    }
}

TEST(CheckRun, LooksUpTheConfigurationBesideItselfNotInTheWorkingFolder)
{
    Scenario beside;
    Scenario elsewhere;
    elsewhere.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=From The Working Folder\r\n");

    beside.AddStandInInstaller();
    elsewhere.AddStandInInstaller();

    RunResult run = beside.Run(Capture::kFile, elsewhere.Folder());
    EXPECT_EQ(run.out, "don't need...\r\nini=, driver=\r\n");

    beside.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=From Beside The Tool\r\n");
    run = beside.Run(Capture::kFile, elsewhere.Folder());
    EXPECT_EQ(run.out, "need to install driver\r\nini=From Beside The Tool, driver=\r\n" + beside.LaunchReport())
        << "the installer too is the one beside the tool";
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(CheckRun, CutsALongProviderTo255Units)
{
    Scenario scenario;
    const std::string provider = std::string(250, 'p') + "abcdefghij";
    scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=" + provider + "\r\n");
    ExpectRun(scenario, "need to install driver\r\nini=" + provider.substr(0, 255) + ", driver=\r\n");
}

TEST(CheckRun, WritesEachUtf16UnitOfTheProviderAsOneByte)
{
    Scenario scenario;
    // U+00F6 and U+00E9 leave as single bytes, U+03A9 and U+4E2D as '?'.
    scenario.WriteFile(L"CpuInfo.ini",
                       Utf16LeWithBom(L"[CPU]\r\nProvider=Pr\u00f6vid\u00e9r \u03a9 \u4e2d\r\nDate=1/1/2020\r\n"));
    ExpectRun(scenario, "need to install driver\r\nini=Pr\xf6vid\xe9r ? ?, driver=\r\n");
}

TEST(CheckRun, RunsFromAFolderWithSpacesAndNonAsciiLetters)
{
    Scenario scenario(L"Program Files (x86) \u00c9quipe \u0416");
    scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=Example Provider\r\n");
    ExpectRun(scenario, "need to install driver\r\nini=Example Provider, driver=\r\n");
}

TEST(CheckRun, IgnoresItsArgumentsAndInput)
{
    Scenario scenario;
    scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=\r\n");
    const RunResult run = scenario.Run(Capture::kPipe, {}, 60000, L" /? --install -s");
    EXPECT_EQ(run.out, "don't need...\r\nini=, driver=\r\n");
    EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
