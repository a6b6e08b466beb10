// The description of one driver: what the configuration expects, or what is installed. Every
// layer may use it; it depends on nothing of the tool.
#pragma once

#include <cstddef>

constexpr std::size_t kRecordTextCapacity = 256;  // code units, terminator included
using RecordText = wchar_t[kRecordTextCapacity];

// Three zero-terminated UTF-16 texts; zero-filled, each reads as the empty text.
struct DriverRecord {
    RecordText provider{};
    RecordText date{};
    RecordText version{};
};
