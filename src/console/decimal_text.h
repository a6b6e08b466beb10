// A number in decimal, no sign, no leading zeros: the text that messages and driver versions
// give for it.
#pragma once

#include <cstddef>
#include <iterator>

namespace console {

class DecimalText {
public:
    explicit DecimalText(unsigned long value) : start_(std::size(digits_) - 1)
    {
        digits_[start_] = L'\0';
        do {
            digits_[--start_] = static_cast<wchar_t>(L'0' + (value % 10));
            value /= 10;
        } while (value != 0);
    }
    [[nodiscard]] const wchar_t* Text() const { return digits_ + start_; }

private:
    wchar_t digits_[11]{};  // ULONG_MAX has 10 digits
    std::size_t start_;
};

}  // namespace console
