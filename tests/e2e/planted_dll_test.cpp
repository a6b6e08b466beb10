// DLLs planted beside the tool under the names of system DLLs, with Wine told to prefer a DLL
// found beside the program (as Windows does for any DLL that is not a KnownDLL): none of them
// may run inside the tool, and its output stays byte for byte the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/machine_drivers.h"
#include "support/scenario.h"

namespace {

using testing_support::Capture;
using testing_support::RunResult;
using testing_support::Scenario;

// The tool's one library and the helpers that libraries of device setup load.
constexpr const wchar_t* kPlantedNames[] = {L"setupapi.dll", L"version.dll", L"cfgmgr32.dll", L"devobj.dll"};
// A name that no system has, so that nothing already loaded or found elsewhere stands in for it.
constexpr wchar_t kControlName[] = L"cdc-planted-control.dll";

// The markers that loaded DLLs left in `folder`, removed as they are listed.
std::wstring TakeMarkers(const std::filesystem::path& folder)
{
    std::wstring found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == L".loaded") {
            found += entry.path().filename().wstring() + L" ";
            std::filesystem::remove(entry.path());
        }
    }
    return found;
}

using PlantedDll = testing_support::MachineDriverTest;

TEST_F(PlantedDll, NothingFromTheToolsFolderRunsInsideIt)
{
    Scenario scenario(L"planted");
    for (const wchar_t* name : kPlantedNames) {
        scenario.CopyProgram(L"planted.dll", name);
    }
    scenario.CopyProgram(L"planted.dll", kControlName);
    scenario.AddStandInInstaller();

    // The plant works: a process that searches for a DLL the ordinary way, with the tool's
    // folder on its search path, loads the copy planted there.
    ASSERT_TRUE(SetDllDirectoryW(scenario.Folder().c_str()));
    const HMODULE control = LoadLibraryW(kControlName);
    SetDllDirectoryW(nullptr);
    ASSERT_NE(control, nullptr);
    FreeLibrary(control);
    ASSERT_NE(TakeMarkers(scenario.Folder()), L"") << "the planted DLL was not loaded: the test would prove nothing";

    // Without a configuration, then with one that needs the installer.
    for (const bool configured : {false, true}) {
        SCOPED_TRACE(configured ? "with another provider: the installer runs" : "without a configuration");
        if (configured) {
            scenario.WriteFile(L"CpuInfo.ini", testing_support::ConfigurationWith(OtherProvider()));
        }
        const RunResult run = scenario.Run(Capture::kFile);
        EXPECT_EQ(TakeMarkers(scenario.Folder()), L"") << "planted DLLs were loaded";
        EXPECT_EQ(run.out, Expected(scenario, configured ? OtherProvider() : L""));
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.exitCode, 0u);
    }
}

}  // namespace
