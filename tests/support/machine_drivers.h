// The drivers that the machine's own records give its processor devices, read without the tool
// and without the device-setup calls it makes: on Windows from the Configuration Manager, in a
// Wine prefix from the device keys and INF files that the prefix holds. Tests build their
// expectations from these, so that they hold on a bare prefix and on a PC whose processors
// carry a driver (every Windows PC) alike.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scenario.h"

namespace testing_support {

struct ProcessorDriver {
    std::wstring device;    // the device's instance path, to name it
    std::wstring provider;  // "" when no driver is known for it
    unsigned entries = 0;   // driver list entries the tool will see (Wine lists every match)
};

// The present processor-class devices and their drivers.
std::vector<ProcessorDriver> ProcessorDrivers();

// The devices and their providers, for a test's message: `ROOT\CPU\0000 "Provider", ...`.
std::wstring Names(const std::vector<ProcessorDriver>& drivers);

// The processor section of a configuration, UTF-16 so that any provider text reaches the tool.
std::string ConfigurationWith(const std::wstring& provider);

// For tests whose expected output involves the provider installed on the processors. Skips,
// saying why, when the machine gives the tool no single provider with a single driver entry.
class MachineDriverTest : public ::testing::Test {
protected:
    void SetUp() override;

    // The decision and report lines that the tool writes when `configured` is expected.
    std::string Decision(const std::wstring& configured) const;
    // All that the tool writes when run from `scenario` with `configured` expected, the launch
    // report included when the providers differ.
    std::string Expected(const Scenario& scenario, const std::wstring& configured) const;
    // A provider that the machine's processors do not carry: configured, it needs the installer.
    std::wstring OtherProvider() const;

    std::wstring installed_;  // the provider of the machine's processors ("" when none)
};

}  // namespace testing_support
