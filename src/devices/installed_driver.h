// The driver installed on the machine's processor devices.
#pragma once

#include "app/driver_record.h"

namespace devices {

// Fills the three (already empty) texts from the driver of the last present processor device.
void QueryInstalledDriver(RecordText& provider, RecordText& date, RecordText& version);

}  // namespace devices
