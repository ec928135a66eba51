// The store's side of the sole routes: each read joins and leaves the tallies of its sensor
// (against its repeater and its entry point) and of its repeater (against its entry point).
#include "store/ActivityStore.h"
#include "store/ChainWalk.h"

namespace corvane {

namespace {

// The candidate becomes the owner of the newest read held; the reads through it are counted.
void Repick(TSoleRoute& route, const std::array<TRead, MaxReads>& reads, int32_t newest,
            TChainWalk::TLink older, uint8_t TRead::*owner) {
    route.Candidate = reads[newest].*owner;
    route.Via = 0;
    for (int32_t i : Chain(reads, newest, older))
        if (reads[i].*owner == route.Candidate)
            ++route.Via;
}

} // namespace

void TStore::JoinSoleRoutes(const TRead& r) {
    soleRepeat_[r.Sensor].Join(r.Repeat);
    soleEntry_[r.Sensor].Join(r.Entry);
    if (r.Repeat != NoIndex)
        repeatSoleEntry_[r.Repeat].Join(r.Entry);
}

void TStore::LeaveSoleRoutes(const TRead& r) {
    const int32_t newest = Sensors[r.Sensor].Newest;
    if (soleRepeat_[r.Sensor].Leave(r.Repeat))
        Repick(soleRepeat_[r.Sensor], Reads, newest, &TRead::SensorOlder, &TRead::Repeat);
    if (soleEntry_[r.Sensor].Leave(r.Entry))
        Repick(soleEntry_[r.Sensor], Reads, newest, &TRead::SensorOlder, &TRead::Entry);
    if (r.Repeat != NoIndex && repeatSoleEntry_[r.Repeat].Leave(r.Entry))
        Repick(repeatSoleEntry_[r.Repeat], Reads, Repeats[r.Repeat].Newest, &TRead::RepeatOlder,
               &TRead::Entry);
}

void TStore::ResetSoleRoutes() {
    soleRepeat_.fill({});
    soleEntry_.fill({});
    repeatSoleEntry_.fill({});
}

} // namespace corvane
