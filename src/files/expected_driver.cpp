#include "files/expected_driver.h"

#include <iterator>

#include "console/error_line.h"
#include "files/sibling_path.h"

namespace files {

namespace {

constexpr wchar_t kSection[] = L"CPU";

// Owns a handle that CreateFileW returned, or INVALID_HANDLE_VALUE.
class OpenedFile {
public:
    explicit OpenedFile(HANDLE handle) : handle_(handle) {}
    ~OpenedFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    [[nodiscard]] bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// The profile reader reads a configuration that is there but cannot be opened (held open
// without sharing by a scan or a copy, a folder of that name, no right to read it) as empty,
// like a missing one, and says nothing. Unlike a missing one it is worth a line: the installer
// may then run for no reason the log would show.
void ReportIfUnreadable(const PathBuffer& file)
{
    const OpenedFile probe(CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    if (!probe.IsOpen() && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        console::ReportError(L"the configuration \"%s\" could not be read", {file}, error, file);
    }
}

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
    ReportIfUnreadable(file);
    ReadValue(L"Provider", provider, file);
    ReadValue(L"Date", date, file);
    ReadValue(L"Version", version, file);
}

}  // namespace files
