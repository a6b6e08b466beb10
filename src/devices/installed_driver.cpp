#include "devices/installed_driver.h"

namespace devices {

void QueryInstalledDriver(RecordText&, RecordText&, RecordText&)
{
    // The device-setup query is not wired in yet: the installed record stays empty.
}

}  // namespace devices
