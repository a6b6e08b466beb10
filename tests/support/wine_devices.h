// Processor devices and driver INF files added to a Wine prefix for the length of a test, and
// removed again. Never to be used on Windows itself: there they would be the machine's own.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The processor device class, as device keys and INF files write it.
constexpr wchar_t kProcessorClassText[] = L"{50127DC3-0F36-415E-A6CC-4CB3BE910B65}";

// True when running under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

class WineDeviceRecords {
public:
    WineDeviceRecords() = default;
    ~WineDeviceRecords();
    WineDeviceRecords(const WineDeviceRecords&) = delete;
    WineDeviceRecords& operator=(const WineDeviceRecords&) = delete;

    // A processor-class device at Enum\<instancePath> (enumerator\device\instance) whose
    // hardware ID is `hardwareId`.
    void AddProcessor(const std::wstring& instancePath, const std::wstring& hardwareId);
    // An INF in C:\windows\inf offering a processor driver of `provider` for `hardwareId`.
    void AddDriverInf(const std::wstring& fileName, const std::wstring& provider, const std::wstring& hardwareId);

private:
    std::vector<std::wstring> devices_;  // Enum subkeys (enumerator\device) to delete
    std::vector<std::wstring> infs_;     // INF paths to delete
};

}  // namespace testing_support
