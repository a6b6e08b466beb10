#include "launch/installer.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

#include "console/error_line.h"
#include "console/standard_streams.h"

namespace launch {

namespace {

// Owns the handles that CreateProcessW returns; closes the thread's, then the process's.
class ProcessHandles {
public:
    explicit ProcessHandles(const ProcessApi& api) : api_(api) {}
    ~ProcessHandles()
    {
        if (info_.hThread != nullptr) {
            api_.closeHandle(info_.hThread);
        }
        if (info_.hProcess != nullptr) {
            api_.closeHandle(info_.hProcess);
        }
    }
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;

    PROCESS_INFORMATION* Receive() { return &info_; }
    [[nodiscard]] HANDLE Process() const { return info_.hProcess; }

private:
    const ProcessApi& api_;
    PROCESS_INFORMATION info_{};
};

}  // namespace

const ProcessApi& SystemProcessApi()
{
    static const ProcessApi api = {::CreateProcessW, ::WaitForSingleObject, ::CloseHandle};
    return api;
}

void LaunchInstaller() { LaunchInstaller(GetModuleFileNameW); }

void LaunchInstaller(files::ModulePathReader readModulePath, const ProcessApi& api)
{
    files::PathBuffer path;
    const bool formed = files::BuildSiblingPath(kInstallerFileName, path, readModulePath);
    const DWORD pathError = GetLastError();
    console::WriteMessage(L"zelPath: %s\n", {path});

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;

    console::WriteMessage("Start Install\n");
    // Everything so far reaches its file or pipe before the installer runs: a log then shows
    // the install under way, and nothing is lost if the tool is stopped while it waits.
    console::FlushOutput();

    if (!formed) {
        files::ReportSiblingPathFailure(L"the installer was not started", kInstallerFileName, pathError,
                                        readModulePath);
    } else {
        wchar_t commandLine[std::size(kInstallerCommandLine)];  // CreateProcessW may write into it
        std::wmemcpy(commandLine, kInstallerCommandLine, std::size(commandLine));
        ProcessHandles installer(api);
        if (api.createProcess(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              installer.Receive())) {
            api.waitForSingleObject(installer.Process(), INFINITE);
        } else {
            console::ReportError(L"the installer \"%s\" was not started", {path}, GetLastError(), path);
        }
    }

    console::WriteMessage("Finish Install");
}

}  // namespace launch
