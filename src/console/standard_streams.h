// The process's standard output and standard error, and the seam through which tests watch them.
//
// Standard output leaves one byte per UTF-16 unit (see output_stream.h). It is delivered message
// by message to a console or NUL, and collected in a buffer for a file or a pipe. Standard error
// is read by people in every language: UTF-8 to a file or a pipe, UTF-16 through WriteConsoleW to
// a console, and delivered message by message whatever it is connected to.
#pragma once

#include <initializer_list>

#include "console/output_stream.h"

namespace console {

// The streams, bound to the process's handles on first use.
OutputStream& StandardOutput();
OutputStream& StandardError();

// The tool's ways of writing to standard output.
inline void WriteMessage(const char* text) { StandardOutput().Write(text); }
inline void WriteMessage(const wchar_t* format, std::initializer_list<const wchar_t*> args)
{
    StandardOutput().Write(format, args);
}
inline void FlushOutput() { StandardOutput().Flush(); }

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

}  // namespace console
