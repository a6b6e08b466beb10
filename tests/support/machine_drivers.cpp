#include "support/machine_drivers.h"

#include <windows.h>

// Before anything that includes devpropdef.h: the property keys of devpkey.h are then defined
// here, not only declared.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devpkey.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <type_traits>
#include <utility>

#include "support/wine_devices.h"

namespace testing_support {

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// The texts of a list that ends with an empty one (REG_MULTI_SZ, a profile section, device IDs).
std::vector<std::wstring> Strings(const wchar_t* list)
{
    std::vector<std::wstring> strings;
    for (; *list != L'\0'; list += std::wcslen(list) + 1) {
        strings.emplace_back(list);
    }
    return strings;
}

// The comma-separated fields of an INF value, without the spaces around them.
std::vector<std::wstring> Fields(const std::wstring& text)
{
    std::vector<std::wstring> fields;
    std::wistringstream in(text);
    for (std::wstring field; std::getline(in, field, L',');) {
        field.erase(0, field.find_first_not_of(L" \t"));
        field.erase(field.find_last_not_of(L" \t") + 1);
        fields.push_back(field);
    }
    return fields;
}

// On Windows: the Configuration Manager's record of each present processor device.
std::vector<ProcessorDriver> ConfigurationManagerProcessors()
{
    std::vector<ProcessorDriver> devices;
    const ULONG filter = CM_GETIDLIST_FILTER_CLASS | CM_GETIDLIST_FILTER_PRESENT;
    ULONG length = 0;
    if (CM_Get_Device_ID_List_SizeW(&length, kProcessorClassText, filter) != CR_SUCCESS) {
        return devices;
    }
    std::wstring ids(length, L'\0');
    if (CM_Get_Device_ID_ListW(kProcessorClassText, ids.data(), length, filter) != CR_SUCCESS) {
        return devices;
    }
    for (std::wstring& id : Strings(ids.c_str())) {
        DEVINST device = 0;
        if (CM_Locate_DevNodeW(&device, id.data(), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) {
            continue;
        }
        wchar_t provider[256] = {};
        DEVPROPTYPE type = 0;
        ULONG size = sizeof provider;
        const bool found = CM_Get_DevNode_PropertyW(device, &DEVPKEY_Device_DriverProvider, &type,
                                                    reinterpret_cast<PBYTE>(provider), &size, 0) == CR_SUCCESS &&
                           type == DEVPROP_TYPE_STRING;
        // Windows lists only the installed driver for the tool: one entry when there is one.
        devices.push_back({id, found ? provider : L"", found ? 1u : 0u});
    }
    return devices;
}

// The keys `levels` below HKLM\`path`, as paths relative to it.
std::vector<std::wstring> KeysBelow(const std::wstring& path, int levels)
{
    if (levels == 0) {
        return {L""};
    }
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return {};
    }
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> key(opened, RegCloseKey);
    std::vector<std::wstring> keys;
    wchar_t name[256];
    for (DWORD i = 0, length = 256;
         RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256) {
        for (const std::wstring& below : KeysBelow(path + L"\\" + name, levels - 1)) {
            keys.push_back(below.empty() ? name : name + (L"\\" + below));
        }
    }
    return keys;
}

// A REG_SZ's text, or a REG_MULTI_SZ's texts.
std::vector<std::wstring> RegistryTexts(const std::wstring& path, const wchar_t* name)
{
    wchar_t data[2048] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t);  // a last terminator of our own
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_MULTI_SZ, nullptr, data,
                     &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return Strings(data);
}

std::wstring ProfileString(const std::wstring& file, const wchar_t* section, const std::wstring& key)
{
    wchar_t value[1024] = {};
    GetPrivateProfileStringW(section, key.c_str(), L"", value, 1024, file.c_str());
    return value;
}

// A driver package: its provider and, for each of its models, the hardware IDs it serves. The
// models are those for 64-bit programs: of a section decorated NTamd64, or of the undecorated
// one when the manufacturer names no decoration, as Wine's device-setup service reads them.
struct InfPackage {
    std::wstring provider;
    std::vector<std::vector<std::wstring>> models;
};

InfPackage ReadInf(const std::wstring& file)
{
    InfPackage package{ProfileString(file, L"Version", L"Provider"), {}};
    if (package.provider.size() > 2 && package.provider.front() == L'%' && package.provider.back() == L'%') {
        package.provider = ProfileString(file, L"Strings", package.provider.substr(1, package.provider.size() - 2));
    }
    const auto section = [&](const std::wstring& name) {
        std::wstring lines(32767, L'\0');
        GetPrivateProfileSectionW(name.c_str(), lines.data(), static_cast<DWORD>(lines.size()), file.c_str());
        std::vector<std::vector<std::wstring>> values;  // the fields after each line's "key="
        for (const std::wstring& line : Strings(lines.c_str())) {
            values.push_back(Fields(line.substr(line.find(L'=') + 1)));
        }
        return values;
    };
    for (const std::vector<std::wstring>& manufacturer : section(L"Manufacturer")) {
        std::wstring models = manufacturer.size() == 1 ? manufacturer[0] : L"";
        for (std::size_t i = 1; i < manufacturer.size(); ++i) {
            if (SameText(manufacturer[i].substr(0, 7), L"NTamd64")) {
                models = manufacturer[0] + L"." + manufacturer[i];
            }
        }
        if (models.empty()) {
            continue;
        }
        for (std::vector<std::wstring>& fields : section(models)) {
            if (fields.size() > 1) {
                fields.erase(fields.begin());  // the install section; the hardware IDs follow
                package.models.push_back(std::move(fields));
            }
        }
    }
    return package;
}

// In a Wine prefix: every key three levels below Enum whose ClassGUID is the processor class,
// matched against the INF files of C:\windows\inf in the order of their names, as Wine does.
std::vector<ProcessorDriver> PrefixProcessors()
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::vector<std::wstring> infs;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(std::wstring(windows) + L"\\inf", ignored)) {
        if (SameText(entry.path().extension().wstring(), L".inf")) {
            infs.push_back(entry.path().wstring());
        }
    }
    std::sort(infs.begin(), infs.end(),
              [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    std::vector<InfPackage> packages;
    std::transform(infs.begin(), infs.end(), std::back_inserter(packages), ReadInf);

    const std::wstring enumKey = L"System\\CurrentControlSet\\Enum";
    std::vector<ProcessorDriver> devices;
    for (const std::wstring& device : KeysBelow(enumKey, 3)) {
        const std::vector<std::wstring> classGuid = RegistryTexts(enumKey + L"\\" + device, L"ClassGUID");
        if (classGuid.size() != 1 || !SameText(classGuid[0], kProcessorClassText)) {
            continue;
        }
        ProcessorDriver driver{device, L"", 0};
        for (const std::wstring& hardwareId : RegistryTexts(enumKey + L"\\" + device, L"HardwareID")) {
            for (const InfPackage& package : packages) {
                for (const std::vector<std::wstring>& ids : package.models) {
                    if (std::any_of(ids.begin(), ids.end(), [&](const auto& id) { return SameText(id, hardwareId); })) {
                        driver.provider = package.provider;  // the last entry is the one the tool keeps
                        ++driver.entries;
                    }
                }
            }
        }
        devices.push_back(driver);
    }
    return devices;
}

}  // namespace

std::vector<ProcessorDriver> ProcessorDrivers()
{
    return RunningUnderWine() ? PrefixProcessors() : ConfigurationManagerProcessors();
}

std::wstring Names(const std::vector<ProcessorDriver>& drivers)
{
    std::wstring names;
    for (const ProcessorDriver& driver : drivers) {
        names += (names.empty() ? L"" : L", ") + driver.device + L" \"" + driver.provider + L"\"";
    }
    return names;
}

std::string ConfigurationWith(const std::wstring& provider)
{
    return Utf16LeWithBom(L"[CPU]\r\nProvider=" + provider + L"\r\n");
}

void MachineDriverTest::SetUp()
{
    const std::vector<ProcessorDriver> drivers = ProcessorDrivers();
    std::set<std::wstring> providers;
    for (const ProcessorDriver& driver : drivers) {
        providers.insert(driver.provider);
        if (driver.entries > 1) {
            GTEST_SKIP() << driver.device << " lists " << driver.entries
                         << " drivers, so the tool warns \"double check again !!!\": " << Names(drivers);
        }
    }
    if (providers.size() > 1) {
        GTEST_SKIP() << "processors with different driver providers, of which the tool reads the last listed: "
                     << Names(drivers);
    }
    installed_ = providers.empty() ? L"" : *providers.begin();
}

std::string MachineDriverTest::Decision(const std::wstring& configured) const
{
    return std::string(configured == installed_ ? "don't need...\r\n" : "need to install driver\r\n") +
           "ini=" + ToolBytes(configured) + ", driver=" + ToolBytes(installed_) + "\r\n";
}

std::string MachineDriverTest::Expected(const Scenario& scenario, const std::wstring& configured) const
{
    return Decision(configured) + (configured == installed_ ? "" : scenario.LaunchReport());
}

std::wstring MachineDriverTest::OtherProvider() const
{
    return installed_ == L"Example Provider" ? L"Other Example Provider" : L"Example Provider";
}

}  // namespace testing_support
