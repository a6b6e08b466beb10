#include "console/output_stream.h"

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

}  // namespace console
