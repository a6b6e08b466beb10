// The driver installed on the machine's processor devices.
#pragma once

#include <windows.h>

#include "devices/setup_api.h"
#include "records/driver_record.h"

namespace devices {

// GUID_DEVCLASS_PROCESSOR, {50127DC3-0F36-415E-A6CC-4CB3BE910B65}.
constexpr GUID kProcessorClass = {0x50127DC3, 0x0F36, 0x415E, {0xA6, 0xCC, 0x4C, 0xB3, 0xBE, 0x91, 0x0B, 0x65}};

// Asks for the driver that is installed on the device, excluded drivers included.
constexpr DWORD kInstalledDriverSearch = DI_FLAGSEX_INSTALLEDDRIVER | DI_FLAGSEX_ALLOWEXCLUDEDDRVS;

// Fills the three (already empty) texts from the driver list of the last present processor
// device: provider, date as "year/month/day", version as "a.b.c.d". Each entry of the list
// overwrites them; after the second and each later one the warning "double check again !!!"
// goes to standard output. When a step fails, what was written stays and the query ends.
// SETUPAPI.dll is loaded for the query from the system folder only.
void QueryInstalledDriver(RecordText& provider, RecordText& date, RecordText& version);

// As above, with SETUPAPI.dll loaded through `loader` (tests pass a scripted one). When the
// library or one of its functions cannot be had, nothing is written and the query ends.
void QueryInstalledDriver(const LibraryLoader& loader, RecordText& provider, RecordText& date, RecordText& version);

// As above, through `api` (tests pass a scripted device-setup service).
void QueryInstalledDriver(const SetupApi& api, RecordText& provider, RecordText& date, RecordText& version);

}  // namespace devices
