// The tool starting the installer beside itself: what the installer sees, the waiting, and
// the tool's report when there is no installer to start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/machine_drivers.h"
#include "support/scenario.h"
#include "support/wine_devices.h"

namespace {

using testing_support::Capture;
using testing_support::ErrorLine;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::ScopedEnvironment;
using testing_support::SystemText;
using testing_support::ToolBytes;
using testing_support::Utf8;

// A scenario whose providers differ, with the stand-in installer reporting to a file.
class InstallerLaunch : public testing_support::MachineDriverTest {
protected:
    explicit InstallerLaunch(const std::wstring& label = L"launch") : scenario_(label) {}

    void SetUp() override
    {
        MachineDriverTest::SetUp();
        scenario_.WriteFile(L"CpuInfo.ini", testing_support::ConfigurationWith(OtherProvider()));
        decision_ = Decision(OtherProvider());
    }

    std::map<std::string, std::string> Report() const
    {
        std::map<std::string, std::string> values;
        std::istringstream lines(scenario_.ReadFile(L"report.txt"));
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t equals = line.find('=');
            values[line.substr(0, equals)] = equals == std::string::npos ? "" : line.substr(equals + 1);
        }
        return values;
    }

    Scenario scenario_;
    std::string decision_;  // the decision and report lines: the installer is needed
    ScopedEnvironment report_{L"CDC_STANDIN_REPORT", (scenario_.Folder() / L"report.txt").wstring()};
    ScopedEnvironment watch_{L"CDC_STANDIN_WATCH", scenario_.OutputPath().wstring()};
};

TEST_F(InstallerLaunch, StartsTheInstallerHiddenWithDashSAndWaits)
{
    scenario_.AddStandInInstaller();
    const ScopedEnvironment slow(L"CDC_STANDIN_SLEEP_MS", L"700");
    const ScopedEnvironment failing(L"CDC_STANDIN_EXIT", L"7");
    const RunResult run = scenario_.Run(Capture::kFile, scenario_.Folder() / L"..");

    EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u) << "the installer's exit code is not passed on";

    const auto report = Report();
    EXPECT_EQ(report.at("command_line"), "[ -s]");
    EXPECT_EQ(report.at("startup_flags"), std::to_string(STARTF_USESHOWWINDOW));
    EXPECT_EQ(report.at("show_window"), std::to_string(SW_HIDE));
    EXPECT_EQ(report.at("self"), scenario_.InstallerPath().string());
    // The tool's own working folder, not the installer's.
    EXPECT_EQ(report.at("working_folder"), (scenario_.Folder() / L"..").lexically_normal().parent_path().string());
    // Everything up to the start reached the output file before the installer ran.
    std::string atStart = decision_ + "zelPath: " + scenario_.InstallerPath().string() + "\r\nStart Install\r\n";
    for (std::size_t end = atStart.find("\r\n"); end != std::string::npos; end = atStart.find("\r\n", end)) {
        atStart.replace(end, 2, "\\r\\n");  // as the stand-in writes them
    }
    EXPECT_EQ(report.at("tool_output_at_start"), atStart);
    EXPECT_EQ(report.count("finished"), 1u) << "the tool ended before its installer";
}

TEST_F(InstallerLaunch, ReportsTheSameThroughAPipe)
{
    scenario_.AddStandInInstaller();
    const RunResult run = scenario_.Run(Capture::kPipe);
    EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Report().count("finished"), 1u);
}

TEST_F(InstallerLaunch, NamesAnInstallerThatCannotStartOnStandardError)
{
    struct Case {
        const char* what;
        const char* content;  // nullptr: no ZEL.exe at all
        DWORD error;
    } const cases[] = {
        {"missing", nullptr, ERROR_FILE_NOT_FOUND},
        {"not a program", "this is a text file, not a program\r\n", ERROR_BAD_EXE_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.content != nullptr) {
            scenario_.WriteFile(L"ZEL.exe", c.content);
        }
        for (const Capture capture : {Capture::kFile, Capture::kPipe}) {
            const RunResult run = scenario_.Run(capture);
            EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport());
            EXPECT_EQ(run.exitCode, 0u);
            // The system's text with its insert (if any) filled by the system with the path.
            const std::wstring path = scenario_.InstallerPath().wstring();
            EXPECT_EQ(run.err, ErrorLine(L"the installer \"" + path + L"\" was not started", c.error, path));
        }
    }
}

TEST_F(InstallerLaunch, CompletesThePassWhenNoOneReadsItsOutput)
{
    scenario_.AddStandInInstaller();
    for (const Capture capture : {Capture::kClosedPipe, Capture::kNone}) {
        SCOPED_TRACE(capture == Capture::kNone ? "no standard output" : "a pipe whose reader is gone");
        const RunResult run = scenario_.Run(capture);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(Report().count("finished"), 1u) << "the installer was started and waited for";
        std::filesystem::remove(scenario_.Folder() / L"report.txt");
    }
}

TEST_F(InstallerLaunch, OutlivesAnInstallerThatCrashes)
{
    scenario_.AddStandInInstaller();
    const ScopedEnvironment crash(L"CDC_STANDIN_CRASH", L"1");
    const RunResult run = scenario_.Run(Capture::kFile);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    const auto report = Report();
    EXPECT_EQ(report.count("crashing"), 1u);
    EXPECT_EQ(report.count("finished"), 0u);
}

TEST_F(InstallerLaunch, TheInstallersOwnOutputLandsBetweenStartAndFinish)
{
    // Started with creation flags 0, the installer shares the tool's console: its standard
    // handles are the tool's, although none is inherited.
    scenario_.AddStandInInstaller();
    const ScopedEnvironment say(L"CDC_STANDIN_SAY", L"1");
    const std::string zelPath = "zelPath: " + ToolBytes(scenario_.InstallerPath().wstring()) + "\r\n";
    for (const Capture capture : {Capture::kFile, Capture::kPipe}) {
        const RunResult run = scenario_.Run(capture);
        EXPECT_EQ(run.out, decision_ + zelPath + "Start Install\r\nstand-in: standard output\r\nFinish Install");
        EXPECT_EQ(run.err, "stand-in: standard error\r\n");
    }
}

// While it lives, Wine loads no setupapi.dll into CpuDriverCheck.exe: a per-program override in the
// prefix, since a child takes WINEDLLOVERRIDES from the Unix environment its parent started with.
struct NoSetupApiForTheTool {
    static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\CpuDriverCheck.exe";
    NoSetupApiForTheTool()
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(kKey) + L"\\DllOverrides").c_str(), L"setupapi", REG_SZ, L"",
                        sizeof(wchar_t));
    }
    ~NoSetupApiForTheTool() { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
};

TEST_F(InstallerLaunch, ItsErrorLineReachesTheFileBeforeTheInstallerStarts)
{
    if (!testing_support::RunningUnderWine()) {
        GTEST_SKIP() << "takes the device-setup library away through Wine's DLL overrides";
    }
    // No device-setup service: the installed provider reads as empty, and the installer runs.
    scenario_.AddStandInInstaller();
    const NoSetupApiForTheTool noSetupApi;
    const ScopedEnvironment watchErrors(L"CDC_STANDIN_WATCH", scenario_.ErrorPath().wstring());
    const RunResult run = scenario_.Run(Capture::kFile);
    const std::string line = ErrorLine(L"setupapi.dll could not be loaded from the system folder", ERROR_MOD_NOT_FOUND);
    // The report writes the line's CR LF as the text "\r\n".
    EXPECT_EQ(Report().at("tool_output_at_start"), line.substr(0, line.size() - 2) + "\\r\\n")
        << "as the installer started";
    EXPECT_EQ(run.err, line);
    EXPECT_EQ(run.out, "need to install driver\r\nini=" + ToolBytes(OtherProvider()) + ", driver=\r\n" +
                           scenario_.LaunchReport());
}

// Cyrillic, Chinese and a letter beyond the 16-bit range. Under Wine the test runs with
// LC_ALL=ru_RU.UTF-8, so that the system's texts are Russian.
class InstallerLaunchInAnotherLanguage : public InstallerLaunch {
protected:
    InstallerLaunchInAnotherLanguage()
        : InstallerLaunch(L"\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430 \u9a71\u52a8 \U0001F4BE")
    {
    }
};

TEST_F(InstallerLaunchInAnotherLanguage, NamesAMissingInstallerInEveryLetterOnStandardError)
{
    const std::wstring path = scenario_.InstallerPath().wstring();
    const std::wstring reason = SystemText(ERROR_FILE_NOT_FOUND, path);
    if (testing_support::RunningUnderWine()) {
        EXPECT_TRUE(std::any_of(reason.begin(), reason.end(), [](wchar_t unit) { return unit > 0xFF; }))
            << "not Russian: is ru_RU.UTF-8 there? " << Utf8(reason);
    }
    const RunResult run = scenario_.Run(Capture::kFile);
    EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport()) << "one byte a unit, as ever";
    EXPECT_EQ(run.err, ErrorLine(L"the installer \"" + path + L"\" was not started", ERROR_FILE_NOT_FOUND, path));
}

class InstallerLaunchWithSpaces : public InstallerLaunch {
protected:
    InstallerLaunchWithSpaces() : InstallerLaunch(L"Program Files (x86) Vendor Tools") {}
};

TEST_F(InstallerLaunchWithSpaces, StartsTheInstallerFromAFolderWithSpaces)
{
    scenario_.AddStandInInstaller();
    const RunResult run = scenario_.Run(Capture::kFile);
    EXPECT_EQ(run.out, decision_ + scenario_.LaunchReport());
    EXPECT_EQ(run.err, "");
    const auto report = Report();
    EXPECT_EQ(report.at("command_line"), "[ -s]") << "the path goes only as the application name";
    EXPECT_EQ(report.at("self"), scenario_.InstallerPath().string());
}

}  // namespace
