#include "devices/setup_api.h"

#include <iterator>

#include "console/error_line.h"

namespace devices {

namespace {

// Finds `name` in `library` as a function of the type it has. False, with the name on standard
// error, when the library has no such function.
template <typename Function>
bool Find(const LibraryLoader& loader, HMODULE library, const char* name, Function& function)
{
    // GetProcAddress gives every function one type; SetupApi says which type each really has.
    // The detour through void (*)() is the one function-pointer cast compilers accept silently.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the only way to use GetProcAddress
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(loader.find(library, name)));
    if (function != nullptr) {
        return true;
    }
    const DWORD error = GetLastError();
    wchar_t wideName[64] = {};  // the names are short and plain ASCII
    for (std::size_t i = 0; name[i] != '\0' && i + 1 < std::size(wideName); ++i) {
        wideName[i] = static_cast<wchar_t>(name[i]);
    }
    console::ReportError(L"%s has no function %s", {kSetupApiLibrary, wideName}, error, kSetupApiLibrary);
    return false;
}

}  // namespace

const LibraryLoader& SystemLibraryLoader()
{
    static const LibraryLoader loader = {::LoadLibraryExW, ::GetProcAddress, ::FreeLibrary};
    return loader;
}

SystemSetupApi::SystemSetupApi(const LibraryLoader& loader)
    : loader_(loader), library_(loader.load(kSetupApiLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
{
    if (library_ == nullptr) {
        console::ReportError(L"%s could not be loaded from the system folder", {kSetupApiLibrary}, GetLastError(),
                             kSetupApiLibrary);
        return;
    }
    complete_ = Find(loader_, library_, "SetupDiGetClassDevsW", api_.getClassDevs) &&
                Find(loader_, library_, "SetupDiEnumDeviceInfo", api_.enumDeviceInfo) &&
                Find(loader_, library_, "SetupDiGetDeviceInstallParamsW", api_.getDeviceInstallParams) &&
                Find(loader_, library_, "SetupDiSetDeviceInstallParamsW", api_.setDeviceInstallParams) &&
                Find(loader_, library_, "SetupDiBuildDriverInfoList", api_.buildDriverInfoList) &&
                Find(loader_, library_, "SetupDiEnumDriverInfoW", api_.enumDriverInfo) &&
                Find(loader_, library_, "SetupDiDestroyDeviceInfoList", api_.destroyDeviceInfoList);
}

SystemSetupApi::~SystemSetupApi()
{
    if (library_ != nullptr) {
        loader_.release(library_);
    }
}

}  // namespace devices
