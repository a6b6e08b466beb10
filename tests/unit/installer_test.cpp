#include "launch/installer.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "console/output.h"

namespace {

std::string g_output;
std::string g_errors;
void Collect(void* sink, const char* bytes, std::size_t count)
{
    static_cast<std::string*>(sink)->append(bytes, count);
}

// The folder of the scripted tool: 255 units, no room left for "\ZEL.exe" in 260.
const std::wstring kLongFolder = L"C:\\" + std::wstring(252, L'f');
const std::string kLongFolderBytes = "C:\\" + std::string(252, 'f');

DWORD WINAPI UnreadableModulePath(HMODULE, LPWSTR, DWORD)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

constexpr wchar_t kWithoutAFolder[] = L"CpuDriverCheck.exe";
constexpr wchar_t kShareUnderWine[] = L"UNC\\srv\\share\\CpuDriverCheck.exe";  // relative: never the working folder

template <const wchar_t* kPath>
DWORD WINAPI FixedModulePath(HMODULE, LPWSTR buffer, DWORD capacity)
{
    const std::wstring path = kPath;
    path.copy(buffer, capacity - 1);
    buffer[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
}

DWORD WINAPI ModulePathInALongFolder(HMODULE, LPWSTR buffer, DWORD capacity)
{
    const std::wstring path = kLongFolder + L"\\CpuDriverCheck.exe";
    if (path.size() >= capacity) {
        std::wmemcpy(buffer, path.c_str(), capacity - 1);
        buffer[capacity - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    std::wmemcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

TEST(LaunchInstaller, WithoutAPathStartsNothingAndSaysWhy)
{
    struct Case {
        const char* what;
        files::ModulePathReader reader;
        std::string reason;
    } const cases[] = {
        {"own path unreadable", UnreadableModulePath, "the tool's own path could not be read: error 5: "},
        {"own path without a folder", FixedModulePath<kWithoutAFolder>,
         "the tool's own path \"CpuDriverCheck.exe\" names no folder: error 161: "},
        {"own path not a full path", FixedModulePath<kShareUnderWine>,
         "the tool's own path \"UNC\\srv\\share\\CpuDriverCheck.exe\" is not a full path: error 161: "},
        {"folder too long", ModulePathInALongFolder,
         "the path of ZEL.exe in the folder \"" + kLongFolderBytes +
             "\" would be longer than 259 characters: error 206: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_output.clear();
        g_errors.clear();
        console::OutputStream watched(Collect, &g_output, console::Delivery::kWhenFull);
        console::OutputStream errors(Collect, &g_errors, console::Delivery::kEachMessage);
        const ULONGLONG before = GetTickCount64();
        {
            const console::ScopedStandardOutput redirectOutput(watched);
            const console::ScopedStandardError redirectErrors(errors);
            launch::LaunchInstaller(c.reader);
        }
        EXPECT_EQ(g_output, "zelPath: \r\nStart Install\r\n") << "flushed before the (skipped) start";
        watched.Flush();
        EXPECT_EQ(g_output, "zelPath: \r\nStart Install\r\nFinish Install");
        EXPECT_LT(GetTickCount64() - before, 5000u);

        const std::string start = "CpuDriverCheck: the installer was not started: " + c.reason;
        EXPECT_EQ(g_errors.substr(0, start.size()), start);
        EXPECT_GT(g_errors.size(), start.size() + 2) << "the system's text follows";
        EXPECT_EQ(g_errors.find('\n'), g_errors.size() - 1) << "one line: " << g_errors;
    }
}

}  // namespace
