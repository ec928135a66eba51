// The waits between attempts to reach a receiver again: 1, 2, 4, ... seconds, never more than a
// minute, starting over once a connection has been made.
#pragma once

namespace corvane {

class TBackoff {
public:
    static constexpr int FirstSec = 1;
    static constexpr int MaxSec = 60;

    // The wait before the next attempt; each call doubles the one after it.
    int Next() {
        const int wait = next_;
        next_ = next_ >= MaxSec / 2 ? MaxSec : next_ * 2;
        return wait;
    }
    void Reset() { next_ = FirstSec; }

private:
    int next_ = FirstSec;
};

} // namespace corvane
