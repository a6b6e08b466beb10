// The built tool, run as a child process in throwaway folders: exact bytes and exit code.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/machine_drivers.h"
#include "support/scenario.h"

namespace {

using testing_support::Capture;
using testing_support::ConfigurationWith;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::Utf16LeWithBom;

constexpr Capture kBothCaptures[] = {Capture::kFile, Capture::kPipe};

const char* Name(Capture capture) { return capture == Capture::kFile ? "to a file" : "to a pipe"; }

// Expectations are built from the provider of the machine's processors: none in a bare Wine
// prefix, the platform's own on a Windows PC.
class CheckRun : public testing_support::MachineDriverTest {
protected:
    // Runs the scenario, with the stand-in installer (which here only starts and ends), and
    // expects the outcome of a configuration that yields the provider `configured`, and `err`.
    void ExpectRun(const Scenario& scenario, const std::wstring& configured, const std::string& err = "") const
    {
        scenario.AddStandInInstaller();
        for (const Capture capture : kBothCaptures) {
            const RunResult run = scenario.Run(capture);
            ASSERT_TRUE(run.finished) << Name(capture);
            EXPECT_EQ(run.out, Expected(scenario, configured)) << Name(capture);
            EXPECT_EQ(run.err, err) << Name(capture);
            EXPECT_EQ(run.exitCode, 0u) << Name(capture);
        }
    }
};

TEST_F(CheckRun, WithoutConfigurationTheExpectedProviderIsEmpty)
{
    Scenario scenario;
    ExpectRun(scenario, L"");
}

TEST_F(CheckRun, ReadsTheConfiguredProviderAndDecidesOnIt)
{
    struct Case {
        const char* what;
        std::string ini;
        std::wstring provider;  // as the tool reads it
    } const cases[] = {
        {"all three keys", "[CPU]\r\nProvider=Example Provider\r\nDate=07/15/2021\r\nVersion=10.0.19041.1\r\n",
         L"Example Provider"},
        {"provider only, LF line ends", "[CPU]\nProvider=Example Provider\n", L"Example Provider"},
        {"the machine's own provider", ConfigurationWith(installed_), installed_},
        {"a provider the machine does not have", ConfigurationWith(OtherProvider()), OtherProvider()},
        {"empty provider", "[CPU]\r\nProvider=\r\nDate=1/2/2020\r\n", L""},
        {"other section only", "[GPU]\r\nProvider=Example Provider\r\n", L""},
        {"other keys only", "[CPU]\r\nVendor=Example\r\n", L""},
        {"empty file", "", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini", c.ini);
        ExpectRun(scenario, c.provider);
        EXPECT_EQ(scenario.ReadFile(L"CpuInfo.ini"), c.ini) << "the configuration is only read";
    }
}

TEST_F(CheckRun, AnUnreadableConfigurationReadsAsEmpty)
{
    const std::wstring nothingRead;
    // A configuration that is there but cannot be opened is named, with the system's reason.
    const auto unread = [](const Scenario& scenario, DWORD error) {
        const std::wstring file = (scenario.Folder() / L"CpuInfo.ini").wstring();
        return testing_support::ErrorLine(L"the configuration \"" + file + L"\" could not be read", error, file);
    };
    {
        SCOPED_TRACE("binary garbage");
        Scenario scenario;
        std::mt19937 random(255);
        std::string garbage(64 * 1024, '\0');
        for (char& byte : garbage) {
            byte = static_cast<char>(random() & 0xFF);
        }
        scenario.WriteFile(L"CpuInfo.ini", garbage);
        ExpectRun(scenario, nothingRead);
    }
    {
        SCOPED_TRACE("a folder named CpuInfo.ini");
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini\\Provider", "[CPU]\r\nProvider=Inside The Folder\r\n");
        ExpectRun(scenario, nothingRead, unread(scenario, ERROR_ACCESS_DENIED));
    }
    {
        SCOPED_TRACE("locked by another process");
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=Example Provider\r\n");
        const HANDLE lock = CreateFileW((scenario.Folder() / L"CpuInfo.ini").c_str(), GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        ExpectRun(scenario, nothingRead, unread(scenario, ERROR_SHARING_VIOLATION));
        CloseHandle(lock);
    }
    {
        SCOPED_TRACE("held open for writing by a program that shares it, as scanners and editors do");
        Scenario scenario;
        scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=Example Provider\r\n");
        const HANDLE held =
            CreateFileW((scenario.Folder() / L"CpuInfo.ini").c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ExpectRun(scenario, L"Example Provider");
        CloseHandle(held);
    }
}

TEST_F(CheckRun, LooksUpTheConfigurationBesideItselfNotInTheWorkingFolder)
{
    Scenario beside;
    Scenario elsewhere;
    elsewhere.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=From The Working Folder\r\n");

    beside.AddStandInInstaller();
    elsewhere.AddStandInInstaller();

    RunResult run = beside.Run(Capture::kFile, elsewhere.Folder());
    EXPECT_EQ(run.out, Expected(beside, L""));

    beside.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=From Beside The Tool\r\n");
    run = beside.Run(Capture::kFile, elsewhere.Folder());
    EXPECT_EQ(run.out, Decision(L"From Beside The Tool") + beside.LaunchReport())
        << "the installer too is the one beside the tool";
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(CheckRun, CutsALongProviderTo255Units)
{
    Scenario scenario;
    const std::string provider = std::string(250, 'p') + "abcdefghij";
    scenario.WriteFile(L"CpuInfo.ini", "[CPU]\r\nProvider=" + provider + "\r\n");
    ExpectRun(scenario, std::wstring(250, L'p') + L"abcde");
}

TEST_F(CheckRun, WritesEachUtf16UnitOfTheProviderAsOneByte)
{
    Scenario scenario;
    // U+00F6 and U+00E9 leave as single bytes, U+03A9 and U+4E2D as '?'.
    scenario.WriteFile(L"CpuInfo.ini",
                       Utf16LeWithBom(L"[CPU]\r\nProvider=Pr\u00f6vid\u00e9r \u03a9 \u4e2d\r\nDate=1/1/2020\r\n"));
    ExpectRun(scenario, L"Pr\u00f6vid\u00e9r \u03a9 \u4e2d");
    EXPECT_NE(Decision(L"Pr\u00f6vid\u00e9r \u03a9 \u4e2d").find("\r\nini=Pr\xf6vid\xe9r ? ?, driver="),
              std::string::npos);
}

TEST_F(CheckRun, RunsFromAFolderWithSpacesAndNonAsciiLetters)
{
    Scenario scenario(L"Program Files (x86) \u00c9quipe \u0416");
    scenario.WriteFile(L"CpuInfo.ini", ConfigurationWith(OtherProvider()));
    ExpectRun(scenario, OtherProvider());
}

TEST_F(CheckRun, IgnoresItsArgumentsAndInput)
{
    Scenario scenario;
    scenario.WriteFile(L"CpuInfo.ini", ConfigurationWith(installed_));
    const RunResult run = scenario.Run(Capture::kPipe, {}, 60000, L" /? --install -s");
    EXPECT_EQ(run.out, Decision(installed_));
    EXPECT_EQ(run.exitCode, 0u);
}

}  // namespace
