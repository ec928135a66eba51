// Which rows of the sensor list are shown while the user narrows it down: those whose label,
// 16-digit serial number or kind name holds the typed text, letter case ignored over the 8-bit
// character set, and whose silence state is the one chosen. Hiding a row changes nothing else:
// the store, the captions and the order stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

class TStore;

// The choice beside the search field, in its order; Late and Silent show exactly the sensors in
// that state, LateOrSilent shows both, and Behind the late or silent sensors with a cause (those
// the status bar counts as behind them), so that what is left of a failure is found in one view.
enum class TStateChoice : uint8_t { All, Late, Silent, LateOrSilent, Behind };

class TListFilter {
public:
    // The typed text in 8-bit characters. matchable is false when it holds a character no 8-bit
    // label can carry: then no row matches.
    void SetText(std::string_view text, bool matchable = true);
    void SetState(TStateChoice state) { state_ = state; }
    TStateChoice State() const { return state_; }

    // False while every row is shown (no text and All).
    bool IsActive() const { return !needle_.empty() || !matchable_ || state_ != TStateChoice::All; }
    // Whether the sensor in this row of the store is shown; rows not in use never are.
    bool Matches(const TStore& store, uint16_t row) const;

    // Letter case folded over the 8-bit character set (A to Z and the accented capitals).
    static char Fold(char c);
    // Whether text holds folded (already folded with Fold), letter case ignored.
    static bool Contains(std::string_view text, std::string_view folded);

private:
    std::string needle_; // folded
    bool matchable_ = true;
    TStateChoice state_ = TStateChoice::All;
};

} // namespace corvane
