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

// SETUPAPI.dll's own functions.
const SetupApi& SystemSetupApi();

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

    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

private:
    const SetupApi& api_;
    HDEVINFO set_;
};

}  // namespace devices
