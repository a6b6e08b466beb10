#include "files/expected_driver.h"

#include <iterator>

#include "files/sibling_path.h"

namespace files {

namespace {

constexpr wchar_t kSection[] = L"CPU";

void ReadValue(const wchar_t* key, RecordText& value, const PathBuffer& file)
{
    GetPrivateProfileStringW(kSection, key, nullptr, value, static_cast<DWORD>(std::size(value)), file);
}

}  // namespace

void ReadExpectedDriver(RecordText& provider, RecordText& date, RecordText& version)
{
    PathBuffer file;
    if (!BuildSiblingPath(kConfigurationFileName, file)) {
        // A missing file is no failure (the texts just stay empty), but a path that cannot even
        // be formed is worth a line: the configuration is then never read, wherever it lies.
        ReportSiblingPathFailure(L"the configuration was not read", kConfigurationFileName, GetLastError(),
                                 GetModuleFileNameW);
        return;
    }
    ReadValue(L"Provider", provider, file);
    ReadValue(L"Date", date, file);
    ReadValue(L"Version", version, file);
}

}  // namespace files
