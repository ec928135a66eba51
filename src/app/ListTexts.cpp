#include "app/ListTexts.h"

#include "store/ActivityStore.h"
#include "util/untConst.h"

namespace corvane {

void TListTexts::New(const TStore& store, uint16_t row) {
    Label = store.SensorLabel(row, label_);
    Kind = SensorKindName(store.Sensors[row].Kind);
}

void TListTexts::Changed(const TStore& store, uint16_t row, TDateTime now, bool health) {
    const TSensor& s = store.Sensors[row];
    Label = store.SensorLabel(row, label_);
    Marked = s.Marked != 0;
    count_.Clear();
    dups_.Clear();
    runAvg_.Clear();
    age_.Clear();
    Count = count_.AppendInt(s.Stats.Count).View();
    Dups = dups_.AppendInt(s.Stats.Dups).View();
    RunAvg = runAvg_.AppendFixed2(s.Stats.RunAvg).View();
    if (s.Stats.LastTime != NoTime)
        age_.AppendInt(SecondsDiff(s.Stats.LastTime, now));
    Age = age_.View();
    if (health)
        Health(store, row);
}

void TListTexts::Aged(const TStore& store, uint16_t row, bool runAvgMoved, int32_t age,
                      bool health) {
    runAvg_.Clear();
    age_.Clear();
    if (runAvgMoved)
        runAvg_.AppendFixed2(store.Sensors[row].Stats.RunAvg);
    RunAvg = runAvg_.View();
    Age = age_.AppendInt(age).View();
    if (health)
        Health(store, row);
}

void TListTexts::Health(const TStore& store, uint16_t row) {
    Loss = store.LossText(row, loss_);
    Routes = store.RoutesText(row, routes_);
}

std::string_view TListTexts::SensorCaption(uint16_t sensors) {
    caption_.Clear();
    return caption_.Append("Sensor (").AppendInt(sensors).Append(")").View();
}

std::string_view TListTexts::CountCaption(int32_t reads) {
    caption_.Clear();
    return caption_.Append("Count (").AppendInt(reads).Append(")").View();
}

std::string AlertTip(TAlertState state, int32_t silence, float usualGap) {
    if (state == TAlertState::Reporting)
        return {};
    std::string tip = state == TAlertState::Late ? "Late" : "Silent";
    if (silence >= 0)
        tip += ": no read for " + std::to_string(silence) + " s";
    if (usualGap >= 0)
        tip += ", usual gap " + std::to_string(static_cast<int64_t>(usualGap + 0.5f)) + " s";
    return tip;
}

std::string BehindTip(const TStore& store, TAlertCause cause) {
    if (!cause.Any())
        return {};
    const TAlertState state = store.Alerts.State(cause.Kind, cause.Index);
    std::string tip = cause.Kind == TAlertKind::Repeat
                          ? "Behind repeater " + std::string(1, store.Repeats[cause.Index].Id)
                          : "Behind entry " + std::string(store.Alerts.EntryLabel(cause.Index));
    return tip + (state == TAlertState::Silent ? " (silent)" : " (late)");
}

std::string AlertCountsText(int32_t silent, int32_t late, int32_t behind) {
    if (silent == 0 && late == 0 && behind == 0)
        return {};
    std::string text = std::to_string(silent) + " silent, " + std::to_string(late) + " late";
    if (behind > 0)
        text += ", " + std::to_string(behind) + " behind them";
    return text;
}

} // namespace corvane
