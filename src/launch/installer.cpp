#include "launch/installer.h"

namespace launch {

void LaunchInstaller()
{
    // Starting the installer is not wired in yet.
}

}  // namespace launch
