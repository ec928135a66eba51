// A log line that the packets themselves can call for, one per packet: a receiver that keeps
// sending what the store must refuse would otherwise fill the log pane and the service's output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

class TRateLimitedMessage {
public:
    static constexpr int kIntervalSec = 60;

    // what names the occurrences a later line counts: "(<n> more <what> since hh:nn:ss)".
    explicit TRateLimitedMessage(std::string_view what = "refused") : what_(what) {}

    // One more occurrence of the message. The line to write: the text at the first occurrence,
    // and again at the first one a minute (on the run's time line) or more after the last line
    // written, then followed by how many were held back since that line and its local time.
    // Empty while the occurrence is only counted.
    std::string_view Occur(const TClock& clock, std::string_view text);

private:
    std::string what_;
    std::string line_;
    bool written_ = false;
    TDateTime lastNow_ = 0;   // the run's time line, for the minute
    TDateTime lastShown_ = 0; // local time, for the text
    int64_t held_ = 0;
};

} // namespace corvane
