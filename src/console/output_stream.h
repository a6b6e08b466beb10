// The tool's messages turned into the exact bytes that leave it, whatever the C runtime.
//
// A message is a narrow text, or a wide format whose `%s` takes a UTF-16 text. Every line feed
// leaves as CR LF. Each UTF-16 unit leaves in the stream's encoding: as one byte (units up to
// 0xFF as that byte, no code page involved; larger units as '?'), as UTF-8, or as UTF-16. The
// bytes collect in a buffer that is passed on to a sink when it is full and on Flush(), and also
// at the end of every message for a stream delivered message by message.
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

}  // namespace console
