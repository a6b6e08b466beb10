#include "devices/setup_api.h"

namespace devices {

const SetupApi& SystemSetupApi()
{
    static const SetupApi api = {
        ::SetupDiGetClassDevsW,           ::SetupDiEnumDeviceInfo,     ::SetupDiGetDeviceInstallParamsW,
        ::SetupDiSetDeviceInstallParamsW, ::SetupDiBuildDriverInfoList, ::SetupDiEnumDriverInfoW,
        ::SetupDiDestroyDeviceInfoList,
    };
    return api;
}

}  // namespace devices
