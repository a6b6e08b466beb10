// The driver installer that lies beside the executable.
#pragma once

#include <windows.h>

#include "files/sibling_path.h"

namespace launch {

constexpr wchar_t kInstallerFileName[] = L"ZEL.exe";
// The installer's whole command line: silent install.
constexpr wchar_t kInstallerCommandLine[] = L" -s";

// The process calls that the launch makes, gathered so that tests can stand in for them.
struct ProcessApi {
    decltype(&::CreateProcessW) createProcess;
    decltype(&::WaitForSingleObject) waitForSingleObject;
    decltype(&::CloseHandle) closeHandle;
};

// CreateProcessW, WaitForSingleObject and CloseHandle themselves.
const ProcessApi& SystemProcessApi();

// Reports the installer's path, starts it hidden with the command line " -s", waits for it to
// end however long it takes, and reports the end. An installer that cannot be started (or
// whose path cannot be formed) is named on standard error; standard output reads as if it had
// run. Its exit code is not read.
void LaunchInstaller();

// As above, with the tool's own path read by `readModulePath` and the installer started, waited
// for and released through `api` (tests pass scripted ones).
void LaunchInstaller(files::ModulePathReader readModulePath, const ProcessApi& api = SystemProcessApi());

}  // namespace launch
