// On Windows itself the platform's own record is the oracle: the driver provider of the present
// processor devices is read independently of the tool, through the Configuration Manager, and
// the tool's decision and report must agree with it. Only reads the machine's device records.
// Skipped under Wine, which has no processor devices of its own and fills driver data otherwise.
#include <gtest/gtest.h>

#include <windows.h>

// Before anything that includes devpropdef.h: the property keys of devpkey.h are then defined
// here, not only declared.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devpkey.h>

#include <cwchar>
#include <set>
#include <string>

#include "support/scenario.h"
#include "support/wine_devices.h"

namespace {

using testing_support::Capture;
using testing_support::RunResult;
using testing_support::Scenario;
using testing_support::ScopedEnvironment;
using testing_support::ToolBytes;
using testing_support::Utf16LeWithBom;

constexpr wchar_t kProcessorClass[] = L"{50127DC3-0F36-415E-A6CC-4CB3BE910B65}";

// The driver providers of the present processor-class devices ("" for one without a driver).
std::set<std::wstring> ProcessorDriverProviders()
{
    std::set<std::wstring> providers;
    const ULONG filter = CM_GETIDLIST_FILTER_CLASS | CM_GETIDLIST_FILTER_PRESENT;
    ULONG length = 0;
    if (CM_Get_Device_ID_List_SizeW(&length, kProcessorClass, filter) != CR_SUCCESS) {
        return providers;
    }
    std::wstring ids(length, L'\0');
    if (CM_Get_Device_ID_ListW(kProcessorClass, ids.data(), length, filter) != CR_SUCCESS) {
        return providers;
    }
    for (wchar_t* id = ids.data(); *id != L'\0'; id += std::wcslen(id) + 1) {
        DEVINST device = 0;
        if (CM_Locate_DevNodeW(&device, id, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) {
            continue;
        }
        wchar_t provider[256] = {};
        DEVPROPTYPE type = 0;
        ULONG size = sizeof provider;
        const bool found = CM_Get_DevNode_PropertyW(device, &DEVPKEY_Device_DriverProvider, &type,
                                                    reinterpret_cast<PBYTE>(provider), &size, 0) == CR_SUCCESS &&
                           type == DEVPROP_TYPE_STRING;
        providers.insert(found ? provider : L"");
    }
    return providers;
}

std::string Configuration(const std::wstring& provider)
{
    // UTF-16, so that any provider text reaches the tool as it is.
    return Utf16LeWithBom(L"[CPU]\r\nProvider=" + provider + L"\r\n");
}

TEST(WindowsPlatform, TheToolAgreesWithTheConfigurationManager)
{
    if (testing_support::RunningUnderWine()) {
        GTEST_SKIP() << "Windows itself only: Wine has no processor devices of its own";
    }
    const std::set<std::wstring> providers = ProcessorDriverProviders();
    ASSERT_FALSE(providers.empty()) << "the Configuration Manager lists no present processor device";
    if (providers.size() > 1) {
        GTEST_SKIP() << "processors with different driver providers: which one the tool reads depends on the order";
    }
    const std::wstring provider = *providers.begin();
    const std::string shown = ToolBytes(provider);

    Scenario scenario(L"windows");
    scenario.AddStandInInstaller();
    const ScopedEnvironment report(L"CDC_STANDIN_REPORT", (scenario.Folder() / L"report.txt").wstring());

    scenario.WriteFile(L"CpuInfo.ini", Configuration(provider));
    RunResult run = scenario.Run(Capture::kFile);
    EXPECT_EQ(run.out, "don't need...\r\nini=" + shown + ", driver=" + shown + "\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(scenario.Exists(L"report.txt")) << "the installer ran although the providers are the same";

    const std::wstring other = L"Not " + provider;
    scenario.WriteFile(L"CpuInfo.ini", Configuration(other));
    run = scenario.Run(Capture::kFile);
    EXPECT_EQ(run.out, "need to install driver\r\nini=" + ToolBytes(other) + ", driver=" + shown + "\r\n" +
                           scenario.LaunchReport());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
    const std::string received = scenario.ReadFile(L"report.txt");
    for (const char* line : {"command_line=[ -s]\n", "startup_flags=1\n", "show_window=0\n", "finished\n"}) {
        EXPECT_NE(received.find(line), std::string::npos) << "the installer did not receive " << line << received;
    }
}

}  // namespace
