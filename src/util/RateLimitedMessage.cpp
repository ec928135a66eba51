#include "util/RateLimitedMessage.h"

#include <cmath>

namespace corvane {

std::string_view TRateLimitedMessage::Occur(const TClock& clock, std::string_view text) {
    const TDateTime now = clock.Now();
    // Whole milliseconds, so that a minute measured on the day fractions is never 59.999 s.
    if (written_ && std::llround((now - lastNow_) * 86400000.0) < kIntervalSec * 1000) {
        ++held_;
        return {};
    }
    line_.assign(text);
    if (held_ > 0) {
        line_ += " (" + std::to_string(held_) + " more " + what_ + " since ";
        line_ += FormatTimeOfDay(lastShown_) + ')';
    }
    written_ = true;
    held_ = 0;
    lastNow_ = now;
    lastShown_ = clock.LocalNow();
    return line_;
}

} // namespace corvane
