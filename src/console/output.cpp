#include "console/output.h"

#include <windows.h>

#include <iterator>

namespace console {

namespace {

constexpr char kUnrepresentable = '?';
constexpr wchar_t kLastSingleByteUnit = 0xFF;

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

// A character device (a console, or NUL) gets every message at once, as the C runtime does.
Delivery DeliveryFor(HANDLE handle)
{
    return GetFileType(handle) == FILE_TYPE_CHAR ? Delivery::kEachMessage : Delivery::kWhenFull;
}

OutputStream* g_redirected = nullptr;

}  // namespace

OutputStream::OutputStream(ByteSink sink, void* context, Delivery delivery)
    : sink_(sink), context_(context), delivery_(delivery)
{
}

OutputStream::~OutputStream() { Flush(); }

void OutputStream::Write(const char* text)
{
    for (; *text != '\0'; ++text) {
        Put(*text);
    }
    EndMessage();
}

void OutputStream::Write(const wchar_t* format, std::initializer_list<const wchar_t*> args)
{
    const wchar_t* const* next = args.begin();
    for (const wchar_t* unit = format; *unit != L'\0'; ++unit) {
        if (unit[0] == L'%' && unit[1] == L's') {
            if (next != args.end()) {
                for (const wchar_t* arg = *next++; arg != nullptr && *arg != L'\0'; ++arg) {
                    PutUnit(*arg);
                }
            }
            ++unit;
            continue;
        }
        PutUnit(*unit);
    }
    EndMessage();
}

void OutputStream::Flush()
{
    if (used_ > 0) {
        sink_(context_, buffer_, used_);
        used_ = 0;
    }
}

void OutputStream::PutUnit(wchar_t unit)
{
    Put(unit <= kLastSingleByteUnit ? static_cast<char>(unit) : kUnrepresentable);
}

void OutputStream::Put(char byte)
{
    if (byte == '\n') {
        Put('\r');
    }
    buffer_[used_++] = byte;
    if (used_ == kOutputBufferSize) {
        Flush();
    }
}

void OutputStream::EndMessage()
{
    if (delivery_ == Delivery::kEachMessage) {
        Flush();
    }
}

DecimalText::DecimalText(unsigned long value) : start_(std::size(digits_) - 1)
{
    digits_[start_] = L'\0';
    do {
        digits_[--start_] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
}

OutputStream& StandardOutput()
{
    if (g_redirected != nullptr) {
        return *g_redirected;
    }
    static OutputStream stream(WriteToHandle, GetStdHandle(STD_OUTPUT_HANDLE),
                               DeliveryFor(GetStdHandle(STD_OUTPUT_HANDLE)));
    return stream;
}

OutputStream& StandardError()
{
    static OutputStream stream(WriteToHandle, GetStdHandle(STD_ERROR_HANDLE),
                               Delivery::kEachMessage);
    return stream;
}

ScopedStandardOutput::ScopedStandardOutput(OutputStream& stream) : previous_(g_redirected)
{
    g_redirected = &stream;
}

ScopedStandardOutput::~ScopedStandardOutput() { g_redirected = previous_; }

}  // namespace console
