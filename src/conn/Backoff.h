// The waits between attempts to reach a receiver again: 1, 2, 4, ... seconds, never more than a
// minute. They start over only after a connection has stayed up for a minute: a peer that
// accepts and drops at once is tried ever less often, not every second for ever.
#pragma once

namespace corvane {

class TBackoff {
public:
    static constexpr int FirstSec = 1;
    static constexpr int MaxSec = 60;
    // How long a connection must have lasted for the next wait to be the first one again.
    static constexpr double SteadySec = 60;

    // A connection was made at nowSec (seconds on any time line that does not jump).
    void Connected(double nowSec) {
        connectedAt_ = nowSec;
        connected_ = true;
    }
    // The wait before the next attempt, after a refusal, a failure or a drop at nowSec (on the
    // same time line as Connected); each call doubles the one after it.
    int Next(double nowSec) {
        if (connected_ && nowSec - connectedAt_ >= SteadySec)
            next_ = FirstSec;
        connected_ = false;
        return Next();
    }

    // Without a clock: the wait after the last one, and starting over by hand.
    int Next() {
        const int wait = next_;
        next_ = next_ >= MaxSec / 2 ? MaxSec : next_ * 2;
        return wait;
    }
    void Reset() {
        next_ = FirstSec;
        connected_ = false;
    }

private:
    int next_ = FirstSec;
    bool connected_ = false;
    double connectedAt_ = 0;
};

} // namespace corvane
