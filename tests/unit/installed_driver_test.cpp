#include "devices/installed_driver.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "console/output_stream.h"
#include "console/standard_streams.h"

namespace {

using devices::kProcessorClass;
using devices::QueryInstalledDriver;
using devices::SetupApi;

// A scripted device-setup service. Each call records what it received; the script says which
// call fails and what the device and driver lists hold.
enum class Step { kNone, kClassDevs, kGetParams, kSetParams, kBuildList };

struct DriverEntry {
    std::wstring provider;  // its first 256 units go into ProviderName
    FILETIME date{};
    DWORDLONG version = 0;
    bool unterminated = false;  // fill all 256 units of ProviderName, no terminator
};

struct FakeService {
    // The script.
    Step failing = Step::kNone;
    unsigned devices = 1;
    DWORD walkEndError = ERROR_NO_MORE_ITEMS;
    DWORD initialFlagsEx = 0x00100001;
    std::vector<DriverEntry> drivers;

    // What the service saw.
    GUID classGuid{};
    bool enumeratorGiven = false;
    bool parentGiven = false;
    DWORD classFlags = 0;
    std::vector<DWORD> deviceRecordSizes;
    std::vector<ULONG> devicesUsed;  // DevInst of the device passed to each later call
    DWORD paramsSize = 0;
    DWORD flagsExWritten = 0;
    std::vector<DWORD> driverTypes;
    std::vector<DWORD> driverRecordSizes;
    std::vector<std::string> outputAtEachFetch;
    int destroyed = 0;
};

FakeService g_fake;
const HDEVINFO kFakeSet = reinterpret_cast<HDEVINFO>(static_cast<INT_PTR>(0x5E7));
constexpr ULONG kFirstDevInst = 100;

// Output written during the query, watched by each test.
std::string g_output;
void Collect(void*, const char* bytes, std::size_t count) { g_output.append(bytes, count); }

HDEVINFO WINAPI FakeGetClassDevs(const GUID* guid, PCWSTR enumerator, HWND parent, DWORD flags)
{
    g_fake.classGuid = *guid;
    g_fake.enumeratorGiven = enumerator != nullptr;
    g_fake.parentGiven = parent != nullptr;
    g_fake.classFlags = flags;
    return g_fake.failing == Step::kClassDevs ? INVALID_HANDLE_VALUE : kFakeSet;
}

BOOL WINAPI FakeEnumDeviceInfo(HDEVINFO, DWORD index, PSP_DEVINFO_DATA device)
{
    g_fake.deviceRecordSizes.push_back(device->cbSize);
    if (index >= g_fake.devices) {
        device->DevInst = 0xBAD;  // a failing fetch must not decide which device is examined
        SetLastError(g_fake.walkEndError);
        return FALSE;
    }
    device->DevInst = kFirstDevInst + index;
    return TRUE;
}

BOOL WINAPI FakeGetParams(HDEVINFO, PSP_DEVINFO_DATA device, PSP_DEVINSTALL_PARAMS_W params)
{
    g_fake.devicesUsed.push_back(device->DevInst);
    g_fake.paramsSize = params->cbSize;
    params->FlagsEx = g_fake.initialFlagsEx;
    params->Flags = 0x10;
    return g_fake.failing != Step::kGetParams;
}

BOOL WINAPI FakeSetParams(HDEVINFO, PSP_DEVINFO_DATA device, PSP_DEVINSTALL_PARAMS_W params)
{
    g_fake.devicesUsed.push_back(device->DevInst);
    g_fake.flagsExWritten = params->FlagsEx;
    return g_fake.failing != Step::kSetParams;
}

BOOL WINAPI FakeBuildList(HDEVINFO, PSP_DEVINFO_DATA device, DWORD type)
{
    g_fake.devicesUsed.push_back(device->DevInst);
    g_fake.driverTypes.push_back(type);
    return g_fake.failing != Step::kBuildList;
}

BOOL WINAPI FakeEnumDriverInfo(HDEVINFO, PSP_DEVINFO_DATA device, DWORD type, DWORD index, PSP_DRVINFO_DATA_W entry)
{
    g_fake.devicesUsed.push_back(device->DevInst);
    g_fake.driverTypes.push_back(type);
    g_fake.driverRecordSizes.push_back(entry->cbSize);
    g_fake.outputAtEachFetch.push_back(g_output);
    if (index >= g_fake.drivers.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    const DriverEntry& driver = g_fake.drivers[index];
    std::wmemset(entry->ProviderName, L'\0', std::size(entry->ProviderName));
    if (driver.unterminated) {
        std::wmemset(entry->ProviderName, L'P', std::size(entry->ProviderName));
    } else {
        driver.provider.copy(entry->ProviderName, std::size(entry->ProviderName) - 1);
    }
    entry->DriverDate = driver.date;
    entry->DriverVersion = driver.version;
    return TRUE;
}

BOOL WINAPI FakeDestroy(HDEVINFO set)
{
    if (set == kFakeSet) {
        ++g_fake.destroyed;
    }
    return TRUE;
}

constexpr SetupApi kFakeApi = {FakeGetClassDevs, FakeEnumDeviceInfo, FakeGetParams, FakeSetParams,
                               FakeBuildList,    FakeEnumDriverInfo, FakeDestroy};

struct Result {
    std::wstring provider, date, version;
    std::string output;
};

Result Query(const FakeService& script)
{
    g_fake = script;
    g_output.clear();
    console::OutputStream watched(Collect, nullptr, console::Delivery::kEachMessage);
    DriverRecord record;
    {
        const console::ScopedStandardOutput redirect(watched);
        QueryInstalledDriver(kFakeApi, record.provider, record.date, record.version);
    }
    return {record.provider, record.date, record.version, g_output};
}

FILETIME FileTimeOf(WORD year, WORD month, WORD day)
{
    SYSTEMTIME calendar{};
    calendar.wYear = year;
    calendar.wMonth = month;
    calendar.wDay = day;
    calendar.wHour = 23;
    calendar.wMinute = 59;
    FILETIME time{};
    SystemTimeToFileTime(&calendar, &time);
    return time;
}

DWORDLONG VersionOf(DWORDLONG a, DWORDLONG b, DWORDLONG c, DWORDLONG d) { return a << 48 | b << 32 | c << 16 | d; }

FakeService WithDrivers(std::vector<DriverEntry> drivers)
{
    FakeService script;
    script.drivers = std::move(drivers);
    return script;
}

TEST(InstalledDriver, AsksForTheInstalledDriverOfPresentProcessors)
{
    const Result result =
        Query(WithDrivers({{L"Example Provider", FileTimeOf(2021, 7, 15), VersionOf(10, 0, 19041, 1)}}));
    EXPECT_EQ(result.provider, L"Example Provider");
    EXPECT_EQ(result.date, L"2021/7/15");
    EXPECT_EQ(result.version, L"10.0.19041.1");
    EXPECT_EQ(result.output, "") << "one entry: no warning";

    EXPECT_TRUE(IsEqualGUID(g_fake.classGuid, kProcessorClass));
    EXPECT_FALSE(g_fake.enumeratorGiven);
    EXPECT_FALSE(g_fake.parentGiven);
    EXPECT_EQ(g_fake.classFlags, static_cast<DWORD>(DIGCF_PRESENT));
    for (const DWORD size : g_fake.deviceRecordSizes) {
        EXPECT_EQ(size, sizeof(SP_DEVINFO_DATA));
    }
    EXPECT_EQ(g_fake.paramsSize, sizeof(SP_DEVINSTALL_PARAMS_W));
    EXPECT_EQ(g_fake.flagsExWritten, 0x00100001u | 0x04000800u) << "other bits are kept";
    for (const DWORD type : g_fake.driverTypes) {
        EXPECT_EQ(type, static_cast<DWORD>(SPDIT_COMPATDRIVER));
    }
    for (const DWORD size : g_fake.driverRecordSizes) {
        EXPECT_EQ(size, sizeof(SP_DRVINFO_DATA_V2_W));
    }
    EXPECT_EQ(g_fake.destroyed, 1);
}

TEST(InstalledDriver, ExaminesOnlyTheLastDevice)
{
    FakeService script = WithDrivers({{L"Example Provider", {}, 0}});
    script.devices = 3;
    Query(script);
    ASSERT_FALSE(g_fake.devicesUsed.empty());
    for (const ULONG devInst : g_fake.devicesUsed) {
        EXPECT_EQ(devInst, kFirstDevInst + 2);
    }
    EXPECT_EQ(g_fake.deviceRecordSizes.size(), 4u) << "three devices and the fetch that ends the walk";
}

TEST(InstalledDriver, StopsAtEachFailingStepLeavingTheRecordEmpty)
{
    struct Case {
        const char* what;
        FakeService script;
        bool setCreated;
    } cases[] = {
        {"no set", {}, false},
        {"no device", {}, true},
        {"walk ends with another error", {}, true},
        {"install parameters unreadable", {}, true},
        {"install parameters not stored", {}, true},
        {"driver list not built", {}, true},
        {"empty driver list", {}, true},
    };
    cases[0].script.failing = Step::kClassDevs;
    cases[1].script.devices = 0;
    cases[2].script.walkEndError = ERROR_INVALID_DATA;
    cases[3].script.failing = Step::kGetParams;
    cases[4].script.failing = Step::kSetParams;
    cases[5].script.failing = Step::kBuildList;
    for (Case& c : cases) {
        if (c.script.drivers.empty() && std::string(c.what) != "empty driver list") {
            c.script.drivers = {{L"Never Read", {}, 0}};
        }
        const Result result = Query(c.script);
        EXPECT_EQ(result.provider, L"") << c.what;
        EXPECT_EQ(result.date, L"") << c.what;
        EXPECT_EQ(result.version, L"") << c.what;
        EXPECT_EQ(result.output, "") << c.what;
        EXPECT_EQ(g_fake.destroyed, c.setCreated ? 1 : 0) << c.what;
    }
    // What each ending left untried.
    Query(cases[2].script);
    EXPECT_TRUE(g_fake.devicesUsed.empty()) << "a walk that ended in error examines no device";
    Query(cases[3].script);
    EXPECT_EQ(g_fake.devicesUsed.size(), 1u) << "nothing after the failed read";
    Query(cases[5].script);
    EXPECT_TRUE(g_fake.driverRecordSizes.empty()) << "no driver fetched from an unbuilt list";
}

TEST(InstalledDriver, AcceptsAWalkEndingWithoutAnError)
{
    FakeService script = WithDrivers({{L"Example Provider", {}, 0}});
    script.walkEndError = ERROR_SUCCESS;
    EXPECT_EQ(Query(script).provider, L"Example Provider");
}

TEST(InstalledDriver, WarnsAfterEachLaterEntryAndKeepsTheLast)
{
    const Result result = Query(WithDrivers({
        {L"First", FileTimeOf(2001, 1, 1), VersionOf(1, 1, 1, 1)},
        {L"Second", FileTimeOf(2002, 2, 2), VersionOf(2, 2, 2, 2)},
        {L"Third", FileTimeOf(2003, 3, 3), VersionOf(3, 3, 3, 3)},
    }));
    EXPECT_EQ(result.provider, L"Third");
    EXPECT_EQ(result.date, L"2003/3/3");
    EXPECT_EQ(result.version, L"3.3.3.3");
    EXPECT_EQ(result.output, "double check again !!!double check again !!!");
    // The warning follows the storing of an entry, before the next fetch.
    const std::vector<std::string> expected = {"", "", "double check again !!!",
                                               "double check again !!!double check again !!!"};
    EXPECT_EQ(g_fake.outputAtEachFetch, expected);

    EXPECT_EQ(Query(WithDrivers({{L"A", {}, 0}, {L"B", {}, 0}})).output, "double check again !!!");
}

TEST(InstalledDriver, RendersVersionsAndDatesWithoutPaddingOrSign)
{
    struct Case {
        DriverEntry driver;
        const wchar_t* date;
        const wchar_t* version;
    } const cases[] = {
        {{L"p", FileTimeOf(2006, 3, 9), VersionOf(6, 14, 0, 1)}, L"2006/3/9", L"6.14.0.1"},
        {{L"p", FileTimeOf(1999, 12, 31), VersionOf(65535, 65535, 65535, 65535)},
         L"1999/12/31",
         L"65535.65535.65535.65535"},
        {{L"p", FileTimeOf(30827, 12, 31), VersionOf(0, 0, 0, 0)}, L"30827/12/31", L"0.0.0.0"},
        {{L"p", {}, VersionOf(32768, 1, 40000, 9)}, L"1601/1/1", L"32768.1.40000.9"},
    };
    for (const Case& c : cases) {
        const Result result = Query(WithDrivers({c.driver}));
        EXPECT_EQ(result.date, c.date);
        EXPECT_EQ(result.version, c.version);
    }
}

TEST(InstalledDriver, LeavesTheDateEmptyWhenItCannotBeConverted)
{
    FILETIME beyond{};
    beyond.dwHighDateTime = 0x80000000u;  // past what FileTimeToSystemTime accepts
    SYSTEMTIME unused;
    ASSERT_FALSE(FileTimeToSystemTime(&beyond, &unused));
    const Result result =
        Query(WithDrivers({{L"First", FileTimeOf(2001, 1, 1), 0}, {L"Second", beyond, VersionOf(1, 2, 3, 4)}}));
    EXPECT_EQ(result.provider, L"Second");
    EXPECT_EQ(result.date, L"") << "not the earlier entry's date, nor anything else";
    EXPECT_EQ(result.version, L"1.2.3.4");
}

TEST(InstalledDriver, CopiesAtMost255UnitsOfTheProvider)
{
    DriverEntry unterminated{L"", {}, 0, true};
    EXPECT_EQ(Query(WithDrivers({unterminated})).provider, std::wstring(255, L'P'));
    EXPECT_EQ(Query(WithDrivers({{std::wstring(255, L'q'), {}, 0}})).provider, std::wstring(255, L'q'));
    EXPECT_EQ(Query(WithDrivers({{L"Pr\u00f6vider \u03a9", {}, 0}})).provider, L"Pr\u00f6vider \u03a9");
}

// A scripted library loader that offers the fake service's functions, but for the one it lacks.
struct LoaderScript {
    bool libraryMissing = false;
    std::string missingFunction;

    std::wstring loadedName;
    DWORD loadFlags = 0;
    int released = 0;
};
LoaderScript g_loader;
const HMODULE kFakeLibrary = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x11B));

HMODULE WINAPI FakeLoad(LPCWSTR name, HANDLE, DWORD flags)
{
    g_loader.loadedName = name;
    g_loader.loadFlags = flags;
    if (g_loader.libraryMissing) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return kFakeLibrary;
}

// Function pointers pass through void (*)(), the type that converts to and from any other.
template <typename Function>
void (*Generic(Function function))()
{
    return reinterpret_cast<void (*)()>(function);
}

const std::pair<std::string, void (*)()> kFakeFunctions[] = {
    {"SetupDiGetClassDevsW", Generic(FakeGetClassDevs)},
    {"SetupDiEnumDeviceInfo", Generic(FakeEnumDeviceInfo)},
    {"SetupDiGetDeviceInstallParamsW", Generic(FakeGetParams)},
    {"SetupDiSetDeviceInstallParamsW", Generic(FakeSetParams)},
    {"SetupDiBuildDriverInfoList", Generic(FakeBuildList)},
    {"SetupDiEnumDriverInfoW", Generic(FakeEnumDriverInfo)},
    {"SetupDiDestroyDeviceInfoList", Generic(FakeDestroy)},
};

FARPROC WINAPI FakeFind(HMODULE library, LPCSTR name)
{
    for (const auto& [known, function] : kFakeFunctions) {
        if (library == kFakeLibrary && known == name && known != g_loader.missingFunction) {
            return reinterpret_cast<FARPROC>(function);
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FakeRelease(HMODULE library)
{
    g_loader.released += library == kFakeLibrary ? 1 : 100;
    return TRUE;
}

constexpr devices::LibraryLoader kFakeLoader = {FakeLoad, FakeFind, FakeRelease};

TEST(InstalledDriver, WithoutTheDeviceSetupLibraryWritesNothing)
{
    std::vector<LoaderScript> scripts(1);
    scripts[0].libraryMissing = true;
    for (const auto& function : kFakeFunctions) {
        scripts.emplace_back().missingFunction = function.first;
    }
    scripts.emplace_back();  // all there
    for (const LoaderScript& script : scripts) {
        const bool complete = !script.libraryMissing && script.missingFunction.empty();
        SCOPED_TRACE(script.libraryMissing ? "no library" : complete ? "complete" : script.missingFunction);
        g_fake = WithDrivers({{L"Example Provider", {}, 0}});
        g_loader = script;
        g_output.clear();
        std::string errors;
        console::OutputStream watched(Collect, nullptr, console::Delivery::kEachMessage);
        console::OutputStream errorStream(
            [](void* sink, const char* bytes, std::size_t count) {
                static_cast<std::string*>(sink)->append(bytes, count);
            },
            &errors, console::Delivery::kEachMessage);
        DriverRecord record;
        {
            const console::ScopedStandardOutput redirect(watched);
            const console::ScopedStandardError redirectErrors(errorStream);
            QueryInstalledDriver(kFakeLoader, record.provider, record.date, record.version);
        }

        EXPECT_EQ(g_loader.loadedName, L"setupapi.dll");
        EXPECT_EQ(g_loader.loadFlags, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32)) << "the system folder only";
        EXPECT_EQ(g_loader.released, script.libraryMissing ? 0 : 1);
        EXPECT_EQ(g_output, "");
        if (complete) {
            EXPECT_EQ(std::wstring(record.provider), L"Example Provider");
            EXPECT_EQ(g_fake.destroyed, 1);
            EXPECT_EQ(errors, "");
            continue;
        }
        EXPECT_EQ(std::wstring(record.provider) + record.date + record.version, L"");
        EXPECT_EQ(g_fake.destroyed, 0);
        const std::string start =
            script.libraryMissing
                ? "CpuDriverCheck: setupapi.dll could not be loaded from the system folder: error 126: "
                : "CpuDriverCheck: setupapi.dll has no function " + script.missingFunction + ": error 127: ";
        EXPECT_EQ(errors.substr(0, start.size()), start);
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;
    }
}

}  // namespace

namespace {

// Random platform records (providers without terminators, any date and version): the three
// texts always end inside their 256 units and nothing around them is touched.
TEST(InstalledDriver, RandomRecordsNeverOverrunTheTexts)
{
    std::mt19937_64 random(1601);
    struct Guarded {
        wchar_t before[4];
        DriverRecord record;
        wchar_t after[4];
    };
    for (int round = 0; round < 500; ++round) {
        FakeService script;
        const std::size_t entries = random() % 4;
        for (std::size_t i = 0; i < entries; ++i) {
            DriverEntry entry;
            entry.unterminated = random() % 3 == 0;
            entry.provider.assign(random() % 300, L'v');
            for (wchar_t& unit : entry.provider) {
                unit = static_cast<wchar_t>(1 + random() % 0xFFFF);
            }
            const ULONGLONG time = random();
            entry.date.dwLowDateTime = static_cast<DWORD>(time);
            entry.date.dwHighDateTime = static_cast<DWORD>(time >> 32);
            entry.version = random();
            script.drivers.push_back(entry);
        }
        g_fake = script;
        Guarded guarded;
        std::wmemset(guarded.before, L'#', std::size(guarded.before));
        std::wmemset(guarded.after, L'#', std::size(guarded.after));
        console::OutputStream quiet(Collect, nullptr, console::Delivery::kEachMessage);
        {
            const console::ScopedStandardOutput redirect(quiet);
            QueryInstalledDriver(kFakeApi, guarded.record.provider, guarded.record.date, guarded.record.version);
        }

        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(guarded.before[i], L'#') << "round " << round;
            ASSERT_EQ(guarded.after[i], L'#') << "round " << round;
        }
        for (const RecordText* text : {&guarded.record.provider, &guarded.record.date, &guarded.record.version}) {
            ASSERT_NE(std::wmemchr(*text, L'\0', kRecordTextCapacity), nullptr) << "round " << round;
        }
        if (entries > 0) {
            const DriverEntry& last = script.drivers.back();
            const std::wstring expected = last.unterminated ? std::wstring(255, L'P') : last.provider.substr(0, 255);
            EXPECT_EQ(std::wstring(guarded.record.provider), expected) << "round " << round;
            SYSTEMTIME calendar;
            EXPECT_EQ(guarded.record.date[0] == L'\0', !FileTimeToSystemTime(&last.date, &calendar))
                << "round " << round;
        }
    }
    g_output.clear();
}

}  // namespace
