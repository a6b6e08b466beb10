#include "launch/installer.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

#include "console/output.h"

namespace launch {

namespace {

constexpr std::size_t kSystemMessageCapacity = 512;

// Owns the handles that CreateProcessW returns; closes the thread's, then the process's.
class ProcessHandles {
public:
    ProcessHandles() = default;
    ~ProcessHandles()
    {
        if (info_.hThread != nullptr) {
            CloseHandle(info_.hThread);
        }
        if (info_.hProcess != nullptr) {
            CloseHandle(info_.hProcess);
        }
    }
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;

    PROCESS_INFORMATION* Receive() { return &info_; }
    HANDLE Process() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_{};
};

// One line on standard error: the installer's path, the system's error code and its text.
void ReportNotStarted(const files::PathBuffer& path, DWORD error)
{
    wchar_t text[kSystemMessageCapacity] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, error, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    // The system's texts end with line breaks or spaces; the report is one line.
    for (DWORD end = length; end > 0 && (text[end - 1] == L' ' || text[end - 1] == L'\r' || text[end - 1] == L'\n');
         --end) {
        text[end - 1] = L'\0';
    }
    const console::DecimalText code(error);
    console::StandardError().Write(L"CpuDriverCheck: the installer \"%s\" was not started: error %s: %s\n",
                                   {path, code.Text(), text});
}

}  // namespace

void LaunchInstaller() { LaunchInstaller(GetModuleFileNameW); }

void LaunchInstaller(files::ModulePathReader readModulePath)
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
        ReportNotStarted(path, pathError);
    } else {
        wchar_t commandLine[std::size(kInstallerCommandLine)];  // CreateProcessW may write into it
        std::wmemcpy(commandLine, kInstallerCommandLine, std::size(commandLine));
        ProcessHandles installer;
        if (CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           installer.Receive())) {
            WaitForSingleObject(installer.Process(), INFINITE);
        } else {
            ReportNotStarted(path, GetLastError());
        }
    }

    console::WriteMessage("Finish Install");
}

}  // namespace launch
