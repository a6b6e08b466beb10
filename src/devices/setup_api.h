// The device-setup calls that the driver query makes, gathered so that tests can stand in for
// the platform's service.
#pragma once

#include <windows.h>

#include <setupapi.h>

namespace devices {

struct SetupApi {
    decltype(&::SetupDiGetClassDevsW) getClassDevs;
    decltype(&::SetupDiEnumDeviceInfo) enumDeviceInfo;
    decltype(&::SetupDiGetDeviceInstallParamsW) getDeviceInstallParams;
    decltype(&::SetupDiSetDeviceInstallParamsW) setDeviceInstallParams;
    decltype(&::SetupDiBuildDriverInfoList) buildDriverInfoList;
    decltype(&::SetupDiEnumDriverInfoW) enumDriverInfo;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
};

// The platform's way of loading a library and finding its functions (tests pass scripted ones).
struct LibraryLoader {
    decltype(&::LoadLibraryExW) load;
    decltype(&::GetProcAddress) find;
    decltype(&::FreeLibrary) release;
};

// LoadLibraryExW, GetProcAddress and FreeLibrary themselves.
const LibraryLoader& SystemLibraryLoader();

constexpr wchar_t kSetupApiLibrary[] = L"setupapi.dll";

// SETUPAPI.dll loaded from the system folder (never from the tool's own folder, for it and for
// every library it loads), with the functions of SetupApi found in it. The library is released
// when this object ends.
class SystemSetupApi {
public:
    explicit SystemSetupApi(const LibraryLoader& loader);
    ~SystemSetupApi();
    SystemSetupApi(const SystemSetupApi&) = delete;
    SystemSetupApi& operator=(const SystemSetupApi&) = delete;

    // The functions; nullptr when the library or one of them could not be had, which has then
    // been named on standard error.
    [[nodiscard]] const SetupApi* Get() const { return complete_ ? &api_ : nullptr; }

private:
    const LibraryLoader& loader_;
    HMODULE library_;
    SetupApi api_{};
    bool complete_ = false;
};

// Owns a device information set from the call that creates it; destroys it exactly once.
class DeviceInfoSet {
public:
    DeviceInfoSet(const SetupApi& api, HDEVINFO set) : api_(api), set_(set) {}
    ~DeviceInfoSet()
    {
        if (Valid()) {
            api_.destroyDeviceInfoList(set_);
        }
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    [[nodiscard]] bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    [[nodiscard]] HDEVINFO Get() const { return set_; }

private:
    const SetupApi& api_;
    HDEVINFO set_;
};

}  // namespace devices
