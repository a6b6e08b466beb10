// The tool's error lines: what it could not do, the error code and the system's own text for it.
#pragma once

#include <cstddef>
#include <initializer_list>

namespace console {

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

}  // namespace console
