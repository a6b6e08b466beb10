#include "launch/installer.h"

#include <gtest/gtest.h>

#include <string>

#include "console/output.h"

namespace {

std::string g_output;
void Collect(void*, const char* bytes, std::size_t count) { g_output.append(bytes, count); }

DWORD WINAPI UnreadableModulePath(HMODULE, LPWSTR, DWORD)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

TEST(LaunchInstaller, WithoutAPathStartsNothingAndReportsAsUsual)
{
    g_output.clear();
    console::OutputStream watched(Collect, nullptr, console::Delivery::kWhenFull);
    const ULONGLONG before = GetTickCount64();
    {
        const console::ScopedStandardOutput redirect(watched);
        launch::LaunchInstaller(UnreadableModulePath);
    }
    EXPECT_EQ(g_output, "zelPath: \r\nStart Install\r\n") << "flushed before the (skipped) start";
    watched.Flush();
    EXPECT_EQ(g_output, "zelPath: \r\nStart Install\r\nFinish Install");
    EXPECT_LT(GetTickCount64() - before, 5000u);
}

}  // namespace
