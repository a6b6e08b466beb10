// The built tool, run as a child process in throwaway folders: exact bytes and exit code.
#include <gtest/gtest.h>

#include <random>
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
        {"all three keys", "[CPU]\r\nProvider=Example Provider\r\nDate=07/15/2021\r\nVersion=10.0.19041.1\r\n",
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

TEST(CheckRun, AnUnreadableConfigurationReadsAsEmpty)
{
    const std::string nothingToInstall = "don't need...\r\nini=, driver=\r\n";
    {
        SCOPED_TRACE("binary garbage");
        Scenario scenario;
        std::mt19937 random(255);
        std::string garbage(64 * 1024, '\0');
        for (char& byte : garbage) {
            byte = static_cast<char>(random() & 0xFF);
        }
        scenario.WriteFile(L"CpuInfo.ini", garbage);
        ExpectRun(scenario, nothingToInstall);
    }
    {
        SCOPED_TRACE("a folder named CpuInfo.ini");
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini\\Provider", "[CPU]\r\nProvider=Inside The Folder\r\n");
        ExpectRun(scenario, nothingToInstall);
    }
    {
        SCOPED_TRACE("locked by another process");
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=Example Provider\r\n");
        const HANDLE lock = CreateFileW((scenario.Folder() / L"CpuInfo.ini").c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        ExpectRun(scenario, nothingToInstall);
        CloseHandle(lock);
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
