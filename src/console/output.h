// Console output with exact bytes on every C runtime.
//
// The tool's messages are narrow texts, or wide formats whose `%s` takes a UTF-16 text. On
// standard output every UTF-16 unit leaves as one byte: units up to 0xFF as that byte (no code
// page is involved), larger units as '?'. Standard error is read by people in every language:
// UTF-8 to a file or pipe, UTF-16 to a console. Every line feed leaves as CR LF. Output to a
// console is delivered before each call returns; output to a file or pipe collects in a buffer
// that is written when full and on Flush().
#pragma once

#include <cstddef>
#include <initializer_list>

namespace console {

constexpr std::size_t kOutputBufferSize = 4096;

// Receives finished bytes. `context` is whatever the stream was constructed with.
using ByteSink = void (*)(void* context, const char* bytes, std::size_t count);

enum class Delivery {
    kEachMessage,  // a console: every message is passed on before the call returns
    kWhenFull,     // a file or a pipe: passed on when the buffer fills, and on Flush()
};

enum class Encoding {
    kBytePerUnit,  // each unit one byte, '?' above 0xFF: standard output
    kUtf8,         // standard error to a file or pipe (no byte-order mark: logs are appended to)
    kUtf16,        // standard error to a console: little-endian units, for WriteConsoleW
};

class OutputStream {
public:
    OutputStream(ByteSink sink, void* context, Delivery delivery, Encoding encoding = Encoding::kBytePerUnit);
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // A narrow message, its bytes unchanged but for line ends.
    void Write(const char* text);
    // A wide format; each `%s` takes the next text of `args` (an absent one stands for "").
    void Write(const wchar_t* format, std::initializer_list<const wchar_t*> args);
    // As Write(), but the message goes on with whatever is written next.
    void Append(const wchar_t* format, std::initializer_list<const wchar_t*> args);
    // Passes on whatever is buffered.
    void Flush();

private:
    void Put(char byte);
    void PutText(const wchar_t* text);
    void PutUnit(wchar_t unit);
    void PutUtf8(unsigned long codePoint);
    void EndMessage();

    ByteSink sink_;
    void* context_;
    Delivery delivery_;
    Encoding encoding_;
    std::size_t used_ = 0;
    char buffer_[kOutputBufferSize]{};  // an even size: a UTF-16 unit is never split
};

// A number in decimal, no sign, no leading zeros: the text that messages give for it.
class DecimalText {
public:
    explicit DecimalText(unsigned long value);
    [[nodiscard]] const wchar_t* Text() const { return digits_ + start_; }

private:
    wchar_t digits_[11]{};  // ULONG_MAX has 10 digits
    std::size_t start_;
};

// The process's standard output and standard error, bound to their handles on first use.
// Standard error is delivered message by message whatever it is connected to, and encoded as
// above for what it is connected to.
OutputStream& StandardOutput();
OutputStream& StandardError();

constexpr std::size_t kSystemTextCapacity = 512;

// The system's own text for an error code, on one line (no trailing line break or space). Its
// inserts ("%1 is not a valid Win32 application.") are filled with `file`, or left out; a
// text that would not fit is cut short.
class SystemErrorText {
public:
    explicit SystemErrorText(unsigned long error, const wchar_t* file = nullptr);
    [[nodiscard]] const wchar_t* Text() const { return text_; }

private:
    wchar_t text_[2 * kSystemTextCapacity] = {};  // room for the text and a path
};

// One line on standard error: "CpuDriverCheck: ", then `what` (a wide format with its texts),
// then ": error <code>: <the system's text>", its inserts filled with `file` (see above).
void ReportError(const wchar_t* what, std::initializer_list<const wchar_t*> args, unsigned long error,
                 const wchar_t* file = nullptr);

// Makes `stream` stand for standard output or standard error for the life of this object, then
// restores the one before it. For tests that watch what the tool writes.
class ScopedRedirect {
public:
    ~ScopedRedirect();
    ScopedRedirect(const ScopedRedirect&) = delete;
    ScopedRedirect& operator=(const ScopedRedirect&) = delete;

protected:
    ScopedRedirect(OutputStream*& slot, OutputStream& stream);

private:
    OutputStream*& slot_;
    OutputStream* previous_;
};

class ScopedStandardOutput : public ScopedRedirect {
public:
    explicit ScopedStandardOutput(OutputStream& stream);
};

class ScopedStandardError : public ScopedRedirect {
public:
    explicit ScopedStandardError(OutputStream& stream);
};

// The tool's ways of writing to standard output.
inline void WriteMessage(const char* text) { StandardOutput().Write(text); }
inline void WriteMessage(const wchar_t* format, std::initializer_list<const wchar_t*> args)
{
    StandardOutput().Write(format, args);
}
inline void FlushOutput() { StandardOutput().Flush(); }

}  // namespace console
