#include "files/sibling_path.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <iterator>
#include <random>
#include <string>

namespace {

using files::BuildSiblingPath;
using files::FindLastChar;
using files::kPathCapacity;
using files::PathBuffer;

// What the scripted GetModuleFileNameW reports.
struct ModulePathScript {
    std::wstring path;
    bool fail = false;
    bool terminateWhenCut = true;  // false: as Windows XP did, the cut text has no terminator
};
ModulePathScript g_script;

DWORD WINAPI ScriptedModulePath(HMODULE, LPWSTR buffer, DWORD capacity)
{
    if (g_script.fail) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const std::size_t length = g_script.path.size();
    if (length < capacity) {
        std::wmemcpy(buffer, g_script.path.c_str(), length + 1);
        return static_cast<DWORD>(length);
    }
    std::wmemcpy(buffer, g_script.path.c_str(), capacity);
    if (g_script.terminateWhenCut) {
        buffer[capacity - 1] = L'\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return capacity;
}

// Builds with the scripted module path into a buffer whose surroundings are watched.
struct Outcome {
    bool ok;
    std::wstring path;
    bool guardsIntact;
    DWORD lastError;
};

Outcome Build(const std::wstring& modulePath, const wchar_t* name, bool terminateWhenCut = true)
{
    g_script = ModulePathScript{};
    g_script.path = modulePath;
    g_script.terminateWhenCut = terminateWhenCut;
    struct {
        wchar_t before[8];
        PathBuffer result;
        wchar_t after[8];
    } guarded;
    std::wmemset(guarded.before, L'#', std::size(guarded.before));
    std::wmemset(guarded.result, L'#', std::size(guarded.result));
    std::wmemset(guarded.after, L'#', std::size(guarded.after));

    SetLastError(0);
    const bool ok = BuildSiblingPath(name, guarded.result, ScriptedModulePath);
    const DWORD lastError = GetLastError();
    bool guardsIntact = true;
    for (std::size_t i = 0; i < std::size(guarded.before); ++i) {
        guardsIntact = guardsIntact && guarded.before[i] == L'#' && guarded.after[i] == L'#';
    }
    const std::size_t length = std::wcslen(guarded.result);  // terminated within the buffer, or the guard fails first
    return {ok, std::wstring(guarded.result, length), guardsIntact, lastError};
}

std::wstring PrefixOfLength(std::size_t length)
{
    // "C:\" then "d\" pairs and filler up to `length` units, ending with a backslash.
    std::wstring prefix = L"C:\\";
    while (prefix.size() < length - 1) {
        prefix += (prefix.size() % 10 == 0) ? L'\\' : L'd';
    }
    prefix += L'\\';
    return prefix;
}

TEST(FindLastChar, FindsTheLastOccurrenceOrNone)
{
    const wchar_t text[] = L"C:\\a\\b\\tool.exe";
    EXPECT_EQ(FindLastChar(text, L'\\'), text + 6);
    EXPECT_EQ(FindLastChar(text, L'C'), text);
    EXPECT_EQ(FindLastChar(text, L'q'), nullptr);
    EXPECT_EQ(FindLastChar(L"", L'\\'), nullptr);
    // The terminator is itself a candidate.
    EXPECT_EQ(FindLastChar(text, L'\0'), text + std::wcslen(text));
}

TEST(BuildSiblingPath, ReplacesOnlyTheFileNameAfterTheLastBackslash)
{
    const Outcome outcome = Build(L"C:\\Program Files\\Tools\\x.y\\CpuDriverCheck.exe", L"CpuInfo.ini");
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.path, L"C:\\Program Files\\Tools\\x.y\\CpuInfo.ini");
    EXPECT_TRUE(outcome.guardsIntact);

    EXPECT_EQ(Build(L"\\\\server\\share\\CpuDriverCheck.exe", L"ZEL.exe").path, L"\\\\server\\share\\ZEL.exe");
    EXPECT_EQ(Build(L"C:\\tool.exe", L"ZEL.exe").path, L"C:\\ZEL.exe");
}

TEST(BuildSiblingPath, KeepsALongPrefixWhole)
{
    const std::wstring prefix = PrefixOfLength(200);
    ASSERT_EQ(prefix.size(), 200u);
    const Outcome outcome = Build(prefix + L"CpuDriverCheck.exe", L"CpuInfo.ini");
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.path, prefix + L"CpuInfo.ini");
    EXPECT_TRUE(outcome.guardsIntact);
}

TEST(BuildSiblingPath, AcceptsAnExactFitAndRefusesOneUnitMore)
{
    // Prefix + "ZEL.exe" + terminator == 260 units: the longest path that fits. The tool's own
    // path is then longer than 260 units: it is read whole, whether or not the platform
    // terminated the text that it first cut short.
    const std::wstring fits = PrefixOfLength(kPathCapacity - 1 - 7);
    for (const bool terminateWhenCut : {true, false}) {
        const Outcome outcome = Build(fits + L"CpuDriverCheck.exe", L"ZEL.exe", terminateWhenCut);
        EXPECT_TRUE(outcome.ok);
        EXPECT_EQ(outcome.path, fits + L"ZEL.exe");
        EXPECT_EQ(outcome.path.size(), kPathCapacity - 1);
        EXPECT_TRUE(outcome.guardsIntact);
    }

    const Outcome outcome = Build(PrefixOfLength(kPathCapacity - 7) + L"CpuDriverCheck.exe", L"ZEL.exe");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.path, L"");
    EXPECT_EQ(outcome.lastError, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(outcome.guardsIntact);
}

TEST(BuildSiblingPath, FailsWithAnEmptyResult)
{
    struct Case {
        const char* what;
        ModulePathScript script;
        DWORD lastError;
    } const cases[] = {
        {"module path unreadable", {L"C:\\a\\tool.exe", true, true}, ERROR_ACCESS_DENIED},
        {"no backslash", {L"tool.exe", false, true}, ERROR_BAD_PATHNAME},
        {"relative (a share's path under Wine)", {L"UNC\\srv\\share\\tool.exe", false, true}, ERROR_BAD_PATHNAME},
        {"no room for the name",
         {PrefixOfLength(250) + L"CpuDriverCheck.exe", false, true},
         ERROR_FILENAME_EXCED_RANGE},
        {"longer than any path the platform reports",
         {PrefixOfLength(files::kModulePathCapacity) + L"CpuDriverCheck.exe", false, false},
         ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        g_script = c.script;
        PathBuffer result;
        std::wmemset(result, L'#', std::size(result));
        SetLastError(0);
        EXPECT_FALSE(BuildSiblingPath(L"CpuInfo.ini", result, ScriptedModulePath)) << c.what;
        EXPECT_EQ(GetLastError(), c.lastError) << c.what;
        for (const wchar_t unit : result) {
            ASSERT_EQ(unit, L'\0') << c.what << ": the result must be left empty";
        }
    }
}

TEST(BuildSiblingPath, UsesTheRunningExecutablesFolder)
{
    PathBuffer self{};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self))), 0u);
    PathBuffer sibling;
    ASSERT_TRUE(BuildSiblingPath(L"CpuInfo.ini", sibling));
    std::wstring expected(self);
    expected.erase(expected.rfind(L'\\') + 1);
    EXPECT_EQ(std::wstring(sibling), expected + L"CpuInfo.ini");
}

}  // namespace

namespace {

// Random module paths and names: the result always stays inside its 260 units and is either a
// terminated path made of the module's folder and the name, or empty with a failure.
TEST(BuildSiblingPath, RandomPathsNeverOverrunTheResult)
{
    std::mt19937 random(20261208);
    const wchar_t alphabet[] = L"\\\\\\abcXYZ .:\u00e9\u4e2d";
    const auto text = [&](std::size_t maxLength) {
        std::wstring out(std::uniform_int_distribution<std::size_t>(0, maxLength)(random), L'a');
        for (wchar_t& unit : out) {
            unit = alphabet[std::uniform_int_distribution<std::size_t>(0, std::size(alphabet) - 2)(random)];
        }
        return out;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::wstring modulePath = text(300);
        const std::wstring name = text(round % 10 == 0 ? 270 : 20);
        const Outcome outcome = Build(modulePath, name.c_str());
        ASSERT_TRUE(outcome.guardsIntact) << "round " << round;
        if (!outcome.ok) {
            EXPECT_EQ(outcome.path, L"") << "round " << round;
            continue;
        }
        const std::size_t prefix = modulePath.rfind(L'\\') + 1;
        EXPECT_EQ(outcome.path, modulePath.substr(0, prefix) + name) << "round " << round;
        EXPECT_LT(outcome.path.size(), kPathCapacity);
    }
}

}  // namespace
