// A fixed-size text built in place, for the view texts made on the path of every packet: no heap.
// Text beyond the capacity is cut.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "util/untTime.h"
#include "util/untUtils.h"

namespace corvane {

template <size_t N>
class TTextBuffer {
public:
    TTextBuffer& Append(std::string_view s) {
        const size_t n = s.size() < N - length_ ? s.size() : N - length_;
        if (n > 0)
            std::memcpy(text_ + length_, s.data(), n);
        length_ += n;
        return *this;
    }
    TTextBuffer& AppendChar(char c) {
        if (length_ < N)
            text_[length_++] = c;
        return *this;
    }
    TTextBuffer& AppendInt(int64_t v) {
        char digits[24];
        auto res = std::to_chars(digits, digits + sizeof digits, v);
        return Append(std::string_view(digits, static_cast<size_t>(res.ptr - digits)));
    }
    // Two decimals, as the list shows running averages.
    TTextBuffer& AppendFixed2(double v) {
        // When v x 100 is exact (any float is), rounding it to a whole number, halves away from
        // zero, is what the picture gives, without the C library's general conversion.
        const double scaled = v * 100.0;
        if (std::fabs(scaled) < 9007199254740992.0 && std::fma(v, 100.0, -scaled) == 0.0) {
            const auto hundredths = static_cast<uint64_t>(std::round(std::fabs(scaled)));
            if (std::signbit(v))
                AppendChar('-');
            AppendInt(static_cast<int64_t>(hundredths / 100));
            AppendChar(FormatSettings.DecimalSeparator);
            AppendChar(static_cast<char>('0' + hundredths / 10 % 10));
            return AppendChar(static_cast<char>('0' + hundredths % 10));
        }
        char digits[48];
        int n = std::snprintf(digits, sizeof digits, "%.2f", HalfAwayFromZero(v, 2));
        if (n < 0)
            return *this;
        for (int i = 0; i < n && i < static_cast<int>(sizeof digits) - 1; ++i)
            if (digits[i] == '.')
                digits[i] = FormatSettings.DecimalSeparator;
        return Append(std::string_view(digits, static_cast<size_t>(n)));
    }
    void Clear() { length_ = 0; }
    std::string_view View() const { return std::string_view(text_, length_); }

private:
    char text_[N];
    size_t length_ = 0;
};

} // namespace corvane
