#include "app/check_pass.h"

#include <cwchar>

#include "console/standard_streams.h"
#include "devices/installed_driver.h"
#include "files/expected_driver.h"
#include "launch/installer.h"
#include "records/driver_record.h"

namespace app {

void RunCheckPass()
{
    DriverRecord expected;
    files::ReadExpectedDriver(expected.provider, expected.date, expected.version);

    DriverRecord installed;
    devices::QueryInstalledDriver(installed.provider, installed.date, installed.version);

    // The provider alone decides, compared unit for unit: no case folding, no trimming.
    const bool same = std::wcscmp(installed.provider, expected.provider) == 0;
    console::WriteMessage(same ? "don't need...\n" : "need to install driver\n");
    console::WriteMessage(L"ini=%s, driver=%s\n", {expected.provider, installed.provider});
    if (!same) {
        launch::LaunchInstaller();
    }
}

}  // namespace app
