#include "devices/installed_driver.h"

#include <iterator>

#include "console/decimal_text.h"
#include "console/standard_streams.h"

namespace devices {

namespace {

// 8-bit text as the version and date are first rendered, before conversion to UTF-16.
constexpr std::size_t kRenderCapacity = 256;
constexpr std::size_t kVersionRenderLimit = 100;
constexpr std::size_t kDateRenderLimit = kRenderCapacity;

// Renders into a fixed buffer, keeping at most `limit - 1` characters and a terminator.
class Render {
public:
    Render(char (&buffer)[kRenderCapacity], std::size_t limit) : buffer_(buffer), limit_(limit) { buffer_[0] = '\0'; }

    Render& Number(unsigned value)
    {
        const console::DecimalText decimal(value);
        for (const wchar_t* digit = decimal.Text(); *digit != L'\0'; ++digit) {
            Char(static_cast<char>(*digit));
        }
        return *this;
    }

    Render& Char(char c)
    {
        if (used_ + 1 < limit_) {
            buffer_[used_++] = c;
            buffer_[used_] = '\0';
        }
        return *this;
    }

private:
    char* buffer_;  // kRenderCapacity bytes, of which limit_ are used at most
    std::size_t limit_;
    std::size_t used_ = 0;
};

void ConvertFromAnsi(const char* text, RecordText& out)
{
    MultiByteToWideChar(CP_ACP, 0, text, -1, out, static_cast<int>(std::size(out)));
}

unsigned VersionPart(DWORDLONG version, unsigned shift) { return static_cast<unsigned>((version >> shift) & 0xFFFF); }

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a record's texts always go provider, date, version
void StoreEntry(const SP_DRVINFO_DATA_V2_W& entry, RecordText& provider, RecordText& date, RecordText& version)
{
    // The platform's field has room for 256 units; the record keeps at most 255 and a
    // terminator, whether or not the field holds one.
    std::size_t length = 0;
    while (length + 1 < std::size(provider) && length < std::size(entry.ProviderName) &&
           entry.ProviderName[length] != L'\0') {
        provider[length] = entry.ProviderName[length];
        ++length;
    }
    provider[length] = L'\0';

    char text[kRenderCapacity];
    Render(text, kVersionRenderLimit)
        .Number(VersionPart(entry.DriverVersion, 48))
        .Char('.')
        .Number(VersionPart(entry.DriverVersion, 32))
        .Char('.')
        .Number(VersionPart(entry.DriverVersion, 16))
        .Char('.')
        .Number(VersionPart(entry.DriverVersion, 0));
    ConvertFromAnsi(text, version);

    // A date the platform cannot convert leaves the date text empty.
    SYSTEMTIME calendar{};
    Render rendered(text, kDateRenderLimit);
    if (FileTimeToSystemTime(&entry.DriverDate, &calendar)) {
        rendered.Number(calendar.wYear).Char('/').Number(calendar.wMonth).Char('/').Number(calendar.wDay);
    }
    ConvertFromAnsi(text, date);
}

}  // namespace

void QueryInstalledDriver(RecordText& provider, RecordText& date, RecordText& version)
{
    QueryInstalledDriver(SystemLibraryLoader(), provider, date, version);
}

void QueryInstalledDriver(const LibraryLoader& loader, RecordText& provider, RecordText& date, RecordText& version)
{
    // Without the device-setup service the query ends as when it has no device set to give.
    const SystemSetupApi setupApi(loader);
    if (setupApi.Get() != nullptr) {
        QueryInstalledDriver(*setupApi.Get(), provider, date, version);
    }
}

void QueryInstalledDriver(const SetupApi& api, RecordText& provider, RecordText& date, RecordText& version)
{
    const DeviceInfoSet set(api, api.getClassDevs(&kProcessorClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!set.Valid()) {
        return;
    }

    // Walk to the last present device; only that one is examined.
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    bool found = false;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA candidate{};
        candidate.cbSize = sizeof candidate;
        if (!api.enumDeviceInfo(set.Get(), index, &candidate)) {
            break;
        }
        device = candidate;
        found = true;
    }
    const DWORD walkEnd = GetLastError();
    if (!found || (walkEnd != ERROR_NO_MORE_ITEMS && walkEnd != ERROR_SUCCESS)) {
        return;
    }

    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = sizeof params;
    if (!api.getDeviceInstallParams(set.Get(), &device, &params)) {
        return;
    }
    params.FlagsEx |= kInstalledDriverSearch;
    if (!api.setDeviceInstallParams(set.Get(), &device, &params)) {
        return;
    }
    if (!api.buildDriverInfoList(set.Get(), &device, SPDIT_COMPATDRIVER)) {
        return;
    }

    SP_DRVINFO_DATA_V2_W entry{};
    entry.cbSize = sizeof entry;
    for (DWORD index = 0; api.enumDriverInfo(set.Get(), &device, SPDIT_COMPATDRIVER, index, &entry); ++index) {
        StoreEntry(entry, provider, date, version);
        if (index >= 1) {
            console::WriteMessage("double check again !!!");
        }
    }
}

}  // namespace devices
