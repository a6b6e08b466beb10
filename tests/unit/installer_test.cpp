#include "launch/installer.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "console/output_stream.h"
#include "console/standard_streams.h"

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

constexpr wchar_t kInTools[] = L"C:\\Tools\\CpuDriverCheck.exe";
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

// Scripted process calls, each logging what the launch asked of it. The start fails when told to.
std::wstring g_calls;
bool g_startFails = false;
const HANDLE kProcess = reinterpret_cast<HANDLE>(INT_PTR{0x1110});
const HANDLE kThread = reinterpret_cast<HANDLE>(INT_PTR{0x2220});
std::wstring Name(HANDLE handle) { return handle == kProcess ? L"process" : handle == kThread ? L"thread" : L"?"; }

BOOL WINAPI ScriptedStart(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                          LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags, LPVOID environment,
                          LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION started)
{
    MEMORY_BASIC_INFORMATION memory{};
    VirtualQuery(commandLine, &memory, sizeof memory);  // CreateProcessW may write into it
    g_calls += std::wstring(L"start ") + application + L" [" + commandLine + L"]" +
               ((memory.Protect & (PAGE_READWRITE | PAGE_WRITECOPY)) != 0 ? L" writable" : L"") +
               (processAttributes || threadAttributes || environment || folder ? L", something given" : L"") +
               L", inherit " + std::to_wstring(inherit) + L", flags " + std::to_wstring(flags) + L", startup " +
               std::to_wstring(startup->cb) + L"/" + std::to_wstring(startup->dwFlags) + L"/" +
               std::to_wstring(startup->wShowWindow) + L"; ";
    *started = {g_startFails ? nullptr : kProcess, g_startFails ? nullptr : kThread, 0, 0};
    return g_startFails ? FALSE : TRUE;
}
DWORD WINAPI ScriptedWait(HANDLE object, DWORD limit)
{
    g_calls += L"wait for " + Name(object) +
               (limit == INFINITE ? L" without limit; " : L" " + std::to_wstring(limit) + L" ms; ");
    return WAIT_OBJECT_0;
}
BOOL WINAPI ScriptedClose(HANDLE object)
{
    g_calls += L"close " + Name(object) + L"; ";
    return TRUE;
}

TEST(LaunchInstaller, StartsHiddenWithDashSThenWaitsWithoutLimitAndClosesThreadThenProcess)
{
    const std::wstring start = L"start C:\\Tools\\ZEL.exe [ -s] writable, inherit 0, flags 0, startup " +
                               std::to_wstring(sizeof(STARTUPINFOW)) + L"/1/0; ";  // STARTF_USESHOWWINDOW, SW_HIDE
    for (const bool fails : {false, true}) {
        g_calls.clear();
        g_startFails = fails;
        console::OutputStream watched(Collect, &g_output, console::Delivery::kEachMessage);
        const console::ScopedStandardOutput redirectOutput(watched);
        const console::ScopedStandardError redirectErrors(watched);
        launch::LaunchInstaller(FixedModulePath<kInTools>, {ScriptedStart, ScriptedWait, ScriptedClose});
        EXPECT_EQ(g_calls, fails ? start : start + L"wait for process without limit; close thread; close process; ");
    }
}

}  // namespace
