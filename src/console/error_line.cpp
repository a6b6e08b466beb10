#include "console/error_line.h"

#include <windows.h>

#include <iterator>

#include "console/decimal_text.h"
#include "console/output_stream.h"
#include "console/standard_streams.h"

namespace console {

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

}  // namespace console
