#include "support/wine_devices.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace {

constexpr wchar_t kEnumKey[] = L"System\\CurrentControlSet\\Enum";

std::wstring InfFolder()
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\inf\\";
}

// The INF files are plain ASCII. (Not std::string(begin, end): MSVC warns of the narrowing.)
std::string Narrow(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit);
    }
    return bytes;
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const std::wstring& data)
{
    // REG_SZ keeps one terminator, REG_MULTI_SZ one more.
    const DWORD bytes = static_cast<DWORD>((data.size() + (type == REG_MULTI_SZ ? 2 : 1)) * sizeof(wchar_t));
    std::wstring buffer = data;
    buffer.push_back(L'\0');
    if (RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.c_str()), bytes) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot set a registry value");
    }
}

}  // namespace

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

WineDeviceRecords::~WineDeviceRecords()
{
    for (const std::wstring& device : devices_) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kEnumKey) + L"\\" + device).c_str());
    }
    for (const std::wstring& inf : infs_) {
        DeleteFileW(inf.c_str());
    }
}

void WineDeviceRecords::AddProcessor(const std::wstring& instancePath, const std::wstring& hardwareId)
{
    if (!RunningUnderWine()) {
        throw std::logic_error("device records are only ever added to a Wine prefix");
    }
    // Enumerator\device: the key to delete again, and nothing above it, which holds the
    // prefix's own devices too.
    const std::wstring device = instancePath.substr(0, instancePath.rfind(L'\\'));
    if (std::find(devices_.begin(), devices_.end(), device) == devices_.end()) {
        devices_.push_back(device);
    }
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kEnumKey) + L"\\" + instancePath;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        throw std::runtime_error("cannot create a device key");
    }
    SetValue(key, L"ClassGUID", REG_SZ, kProcessorClassText);
    SetValue(key, L"Class", REG_SZ, L"Processor");
    SetValue(key, L"HardwareID", REG_MULTI_SZ, hardwareId);
    RegCloseKey(key);
}

void WineDeviceRecords::AddDriverInf(const std::wstring& fileName, const std::wstring& provider,
                                     const std::wstring& hardwareId)
{
    if (!RunningUnderWine()) {
        throw std::logic_error("driver files are only ever added to a Wine prefix");
    }
    const std::wstring path = InfFolder() + fileName;
    std::ofstream inf(path.c_str(), std::ios::binary | std::ios::trunc);
    inf << "[Version]\r\n"
           "Signature=\"$WINDOWS NT$\"\r\n"
           "Class=Processor\r\n"
           "ClassGuid="
        << Narrow(kProcessorClassText)
        << "\r\n"
           "Provider=%ProviderName%\r\n"
           "DriverVer=07/15/2021,10.0.19041.1\r\n\r\n"
           "[Manufacturer]\r\n"
           "%MfgName%=Models,NTamd64\r\n\r\n"
           "[Models.NTamd64]\r\n"
           "%DeviceDesc%=Cpu_Install,"
        << Narrow(hardwareId)
        << "\r\n\r\n"
           "[Cpu_Install]\r\n\r\n"
           "[Cpu_Install.Services]\r\n"
           "AddService=,2\r\n\r\n"
           "[Strings]\r\n"
           "ProviderName=\""
        << Narrow(provider)
        << "\"\r\n"
           "MfgName=\"Example Maker\"\r\n"
           "DeviceDesc=\"Example Processor\"\r\n";
    infs_.push_back(path);
}

}  // namespace testing_support
