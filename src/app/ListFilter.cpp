#include "app/ListFilter.h"

#include <array>

#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

namespace {

// Capitals to small letters: A to Z, and the accented capitals from 0xC0 to 0xDE except the
// multiplication sign 0xD7. The small letters without a capital (0xDF, 0xFF) stay as they are.
constexpr std::array<unsigned char, 256> FoldTable = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        t[c] = static_cast<unsigned char>(capital ? c + 0x20 : c);
    }
    return t;
}();

} // namespace

char TListFilter::Fold(char c) {
    return static_cast<char>(FoldTable[static_cast<unsigned char>(c)]);
}

bool TListFilter::Contains(std::string_view text, std::string_view folded) {
    if (folded.empty())
        return true;
    if (folded.size() > text.size())
        return false;
    const size_t last = text.size() - folded.size();
    for (size_t i = 0; i <= last; ++i) {
        if (Fold(text[i]) != folded[0])
            continue;
        size_t k = 1;
        while (k < folded.size() && Fold(text[i + k]) == folded[k])
            ++k;
        if (k == folded.size())
            return true;
    }
    return false;
}

void TListFilter::SetText(std::string_view text, bool matchable) {
    needle_.assign(text);
    for (char& c : needle_)
        c = Fold(c);
    matchable_ = matchable;
}

bool TListFilter::Matches(const TStore& store, uint16_t row) const {
    if (row >= store.SensorCount || !matchable_)
        return false;
    switch (state_) {
    case TStateChoice::All:
        break;
    case TStateChoice::Late:
        if (store.Alerts.State(TAlertKind::Sensor, row) != TAlertState::Late)
            return false;
        break;
    case TStateChoice::Silent:
        if (store.Alerts.State(TAlertKind::Sensor, row) != TAlertState::Silent)
            return false;
        break;
    case TStateChoice::LateOrSilent:
        if (store.Alerts.State(TAlertKind::Sensor, row) == TAlertState::Reporting)
            return false;
        break;
    case TStateChoice::Behind:
        if (!store.Alerts.Cause(TAlertKind::Sensor, row).Any())
            return false;
        break;
    }
    if (needle_.empty())
        return true;
    const TSensor& s = store.Sensors[row];
    // An unnamed sensor's label is its serial number, which is looked at next anyway.
    if (Contains(s.Name.View(), needle_))
        return true;
    char serial[16];
    SerialToHex(s.SerNo, serial);
    return Contains(std::string_view(serial, sizeof serial), needle_) ||
           Contains(SensorKindName(s.Kind), needle_);
}

} // namespace corvane
