// The driver that the configuration file beside the executable expects.
#pragma once

#include "records/driver_record.h"

namespace files {

constexpr wchar_t kConfigurationFileName[] = L"CpuInfo.ini";

// Reads Provider, Date and Version of section CPU of CpuInfo.ini beside the executable into
// the three (already empty) texts. Missing file, section or key leave a text empty; longer
// values are cut to 255 units. The file is only read. When its path cannot be formed (the
// folder is too long), or the file is there but cannot be opened for reading, one line on
// standard error says so; the texts then stay empty as for a missing file.
void ReadExpectedDriver(RecordText& provider, RecordText& date, RecordText& version);

}  // namespace files
