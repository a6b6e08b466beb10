#include "console/standard_streams.h"

#include <windows.h>

#include <cstring>

namespace console {

namespace {

// Writes all of `bytes` to a Win32 handle. A handle that refuses (closed pipe, no stream at
// all) swallows the rest: the tool has nowhere else to report to.
void WriteToHandle(void* context, const char* bytes, std::size_t count)
{
    const HANDLE handle = static_cast<HANDLE>(context);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    while (count > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(count);  // never more than the buffer size
        if (!WriteFile(handle, bytes, chunk, &written, nullptr) || written == 0) {
            return;
        }
        bytes += written;
        count -= written;
    }
}

// Writes the UTF-16 units in `bytes` to a console, which shows them whatever its code page.
void WriteToConsole(void* context, const char* bytes, std::size_t count)
{
    wchar_t units[kOutputBufferSize / sizeof(wchar_t)];
    std::memcpy(units, bytes, count);
    const wchar_t* next = units;
    DWORD left = static_cast<DWORD>(count / sizeof(wchar_t));
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(static_cast<HANDLE>(context), next, left, &written, nullptr) || written == 0) {
            return;
        }
        next += written;
        left -= written;
    }
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != FALSE;
}

// A character device (a console, or NUL) gets every message at once, as the C runtime does.
Delivery DeliveryFor(HANDLE handle)
{
    return GetFileType(handle) == FILE_TYPE_CHAR ? Delivery::kEachMessage : Delivery::kWhenFull;
}

// The streams that tests put in place of the process's own (ScopedStandardOutput and -Error).
// Globals on purpose: they are the seam through which tests watch what the tool writes.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
OutputStream* g_redirectedOutput = nullptr;
OutputStream* g_redirectedError = nullptr;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

}  // namespace

OutputStream& StandardOutput()
{
    if (g_redirectedOutput != nullptr) {
        return *g_redirectedOutput;
    }
    static OutputStream stream(WriteToHandle, GetStdHandle(STD_OUTPUT_HANDLE),
                               DeliveryFor(GetStdHandle(STD_OUTPUT_HANDLE)));
    return stream;
}

OutputStream& StandardError()
{
    if (g_redirectedError != nullptr) {
        return *g_redirectedError;
    }
    static const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    static const bool toConsole = IsConsole(handle);
    static OutputStream stream(toConsole ? WriteToConsole : WriteToHandle, handle, Delivery::kEachMessage,
                               toConsole ? Encoding::kUtf16 : Encoding::kUtf8);
    return stream;
}

ScopedRedirect::ScopedRedirect(OutputStream*& slot, OutputStream& stream) : slot_(slot), previous_(slot)
{
    slot = &stream;
}

ScopedRedirect::~ScopedRedirect() { slot_ = previous_; }

ScopedStandardOutput::ScopedStandardOutput(OutputStream& stream) : ScopedRedirect(g_redirectedOutput, stream) {}

ScopedStandardError::ScopedStandardError(OutputStream& stream) : ScopedRedirect(g_redirectedError, stream) {}

}  // namespace console
