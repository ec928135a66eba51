#include "app/TreeTexts.h"

#include "store/ActivityStore.h"

namespace corvane {

std::string_view OwnerLabel(const TStore& store, TOwnerKind kind, uint8_t index) {
    if (kind == TOwnerKind::Entry)
        return store.Entries[index].Name.View();
    return std::string_view(&store.Repeats[index].Id, 1);
}

std::string OwnerNodeText(std::string_view label, int32_t sensorsBehind) {
    std::string text(label);
    if (sensorsBehind > 0)
        text += " (" + std::to_string(sensorsBehind) +
                (sensorsBehind == 1 ? " sensor behind it)" : " sensors behind it)");
    return text;
}

const TFourLines& TTreeLines::Lines() {
    for (size_t k = 0; k < lines_.size(); ++k)
        lines_[k] = buffers_[k].View();
    return lines_;
}

const TFourLines& TTreeLines::Activity(const TActivityFigures& f) {
    for (auto& b : buffers_)
        b.Clear();
    buffers_[0].Append("Last Activitiy: ");
    if (f.LastLocal == NoTime) {
        buffers_[0].Append("(none)");
    } else {
        char when[24];
        buffers_[0].Append(std::string_view(when, FormatDateTimeShort(f.LastLocal, when)));
    }
    buffers_[1].Append("Last 5 min. Count: ").AppendInt(f.Last5);
    buffers_[2].Append("Last 10 min. Count: ").AppendInt(f.Last10);
    buffers_[3].Append("Total Count: ").AppendInt(f.Total);
    return Lines();
}

const TFourLines& TTreeLines::Stats(const TStats& stats) {
    for (auto& b : buffers_)
        b.Clear();
    buffers_[0].Append("Count: ").AppendInt(stats.Count);
    buffers_[1].Append("Duplicates: ").AppendInt(stats.Dups);
    if (stats.Count - stats.Dups >= 2) {
        buffers_[2].Append("Max Gap: ").AppendInt(stats.MaxGap);
        buffers_[3].Append("Min Gap: ").AppendInt(stats.MinGap);
    } else {
        buffers_[2].Append("Max Gap: (undefined)");
        buffers_[3].Append("Min Gap: (undefined)");
    }
    return Lines();
}

} // namespace corvane
