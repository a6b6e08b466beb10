#include "console/output.h"

#include <windows.h>

#include <cstring>
#include <iterator>

namespace console {

namespace {

constexpr char kUnrepresentable = '?';
constexpr wchar_t kLastSingleByteUnit = 0xFF;

// Surrogates are D800 to DFFF: high ones D800 to DBFF, low ones DC00 to DFFF.
constexpr unsigned kSurrogateMask = 0xF800;
constexpr unsigned kSurrogateHalfMask = 0xFC00;
constexpr wchar_t kFirstHighSurrogate = 0xD800;
constexpr wchar_t kFirstLowSurrogate = 0xDC00;
constexpr unsigned long kFirstSupplementary = 0x10000;  // the first code point that takes a pair
constexpr wchar_t kReplacementCharacter = 0xFFFD;       // UTF-8 for half a surrogate pair

bool IsSurrogate(wchar_t unit) { return (unit & kSurrogateMask) == kFirstHighSurrogate; }
bool IsHighSurrogate(wchar_t unit) { return (unit & kSurrogateHalfMask) == kFirstHighSurrogate; }
bool IsLowSurrogate(wchar_t unit) { return (unit & kSurrogateHalfMask) == kFirstLowSurrogate; }

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

OutputStream::OutputStream(ByteSink sink, void* context, Delivery delivery, Encoding encoding)
    : sink_(sink), context_(context), delivery_(delivery), encoding_(encoding)
{
}

OutputStream::~OutputStream() { Flush(); }

void OutputStream::Write(const char* text)
{
    for (; *text != '\0'; ++text) {
        PutUnit(static_cast<unsigned char>(*text));
    }
    EndMessage();
}

void OutputStream::Write(const wchar_t* format, std::initializer_list<const wchar_t*> args)
{
    Append(format, args);
    EndMessage();
}

void OutputStream::Append(const wchar_t* format, std::initializer_list<const wchar_t*> args)
{
    const wchar_t* const* next = args.begin();
    for (const wchar_t* unit = format; *unit != L'\0'; ++unit) {
        if (unit[0] == L'%' && unit[1] == L's') {
            if (next != args.end()) {
                PutText(*next++);
            }
            ++unit;
            continue;
        }
        PutUnit(*unit);
    }
}

void OutputStream::Flush()
{
    if (used_ > 0) {
        sink_(context_, buffer_, used_);
        used_ = 0;
    }
}

void OutputStream::PutText(const wchar_t* text)
{
    for (const wchar_t* unit = text; unit != nullptr && *unit != L'\0'; ++unit) {
        if (encoding_ == Encoding::kUtf8 && IsHighSurrogate(unit[0]) && IsLowSurrogate(unit[1])) {
            PutUtf8(kFirstSupplementary + ((static_cast<unsigned long>(unit[0]) - kFirstHighSurrogate) << 10) +
                    (static_cast<unsigned long>(unit[1]) - kFirstLowSurrogate));
            ++unit;
        } else {
            PutUnit(*unit);
        }
    }
}

void OutputStream::PutUnit(wchar_t unit)
{
    if (unit == L'\n') {
        PutUnit(L'\r');
    }
    if (encoding_ == Encoding::kUtf8) {
        PutUtf8(IsSurrogate(unit) ? kReplacementCharacter : unit);
    } else if (encoding_ == Encoding::kUtf16) {
        Put(static_cast<char>(unit & 0xFF));  // little-endian, as Windows keeps them
        Put(static_cast<char>(unit >> 8));
    } else {
        Put(unit <= kLastSingleByteUnit ? static_cast<char>(unit) : kUnrepresentable);
    }
}

void OutputStream::PutUtf8(unsigned long codePoint)
{
    // A lead byte that tells how many 6-bit continuation bytes follow: none below 0x80.
    constexpr unsigned long kLimits[] = {0x80, 0x800, 0x10000};
    constexpr unsigned long kLeads[] = {0x00, 0xC0, 0xE0, 0xF0};
    int continuations = 0;
    while (continuations < 3 && codePoint >= kLimits[continuations]) {
        ++continuations;
    }
    Put(static_cast<char>(kLeads[continuations] | (codePoint >> (6 * continuations))));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
        Put(static_cast<char>(0x80 | ((codePoint >> shift) & 0x3F)));
    }
}

void OutputStream::Put(char byte)
{
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
        digits_[--start_] = static_cast<wchar_t>(L'0' + (value % 10));
        value /= 10;
    } while (value != 0);
}

SystemErrorText::SystemErrorText(unsigned long error, const wchar_t* file)
{
    wchar_t raw[kSystemTextCapacity] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, error, 0, raw, static_cast<DWORD>(std::size(raw)), nullptr);
    std::size_t used = 0;
    const auto put = [this, &used](wchar_t unit) {
        if (used + 1 < std::size(text_)) {
            text_[used++] = unit;
        }
    };
    // An insert (%1 to %9) stands for the file that the message is about.
    for (DWORD i = 0; i < length; ++i) {
        if (raw[i] == L'%' && raw[i + 1] >= L'1' && raw[i + 1] <= L'9') {
            ++i;
            for (const wchar_t* unit = file; unit != nullptr && *unit != L'\0'; ++unit) {
                put(*unit);
            }
        } else {
            put(raw[i]);
        }
    }
    // The system's texts end with line breaks or spaces.
    while (used > 0 && (text_[used - 1] == L' ' || text_[used - 1] == L'\r' || text_[used - 1] == L'\n')) {
        --used;
    }
    text_[used] = L'\0';
}

void ReportError(const wchar_t* what, std::initializer_list<const wchar_t*> args, unsigned long error,
                 const wchar_t* file)
{
    const DecimalText code(error);
    const SystemErrorText text(error, file);
    OutputStream& out = StandardError();
    out.Append(L"CpuDriverCheck: ", {});
    out.Append(what, args);
    out.Write(L": error %s: %s\n", {code.Text(), text.Text()});
}

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
    static const bool console = IsConsole(handle);
    static OutputStream stream(console ? WriteToConsole : WriteToHandle, handle, Delivery::kEachMessage,
                               console ? Encoding::kUtf16 : Encoding::kUtf8);
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
