// Whether every held read of a sensor (or of a repeater) came through one repeater or one entry
// point: the "behind" relation the silence alerts name causes by. Kept read by read, so that the
// expiry tick asks it at no cost: the reads are counted against one candidate, the owner of the
// first read held, and the candidate is picked anew (from the newest read held, by a walk of the
// chain) only when no held read came through it any more. A candidate stays until every read
// through it has left, so a walk follows at most one turnover of the chain.
#pragma once

#include <cstdint>

#include "store/Store.h"

namespace corvane {

struct TSoleRoute {
    int32_t Held = 0;            // reads held
    uint8_t Candidate = NoIndex; // the owner the held reads are counted against; 255: none
    int32_t Via = 0;             // held reads through Candidate
    // The sole owner as it stood when the last held read left: a sensor whose reads all expired
    // is still behind what it was heard through.
    uint8_t Kept = NoIndex;

    void Join(uint8_t owner) {
        if (Held == 0) {
            Candidate = owner;
            Via = 0;
        }
        ++Held;
        if (owner == Candidate)
            ++Via;
    }
    // True when reads are still held and none came through the candidate: pick it again.
    bool Leave(uint8_t owner) {
        if (Held == 1)
            Kept = Sole();
        --Held;
        if (owner == Candidate)
            --Via;
        return Held > 0 && Via == 0;
    }
    // The owner every held read came through, else 255 (also when the reads came directly).
    uint8_t Sole() const {
        if (Held == 0)
            return Kept;
        return Via == Held ? Candidate : NoIndex;
    }
};

} // namespace corvane
