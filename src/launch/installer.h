// The driver installer that lies beside the executable.
#pragma once

namespace launch {

constexpr wchar_t kInstallerFileName[] = L"ZEL.exe";

// Runs the installer hidden with the command line " -s", waits for it to end and reports.
void LaunchInstaller();

}  // namespace launch
