// The network thread's loop that the publisher and the station reader share: while the library
// has a socket, a turn of the client's own (poll, read, write, look at the broker); when the
// socket goes, the back-off's wait; then an attempt to connect once the wait is over, woken
// early only by the thread's eventfd (a stop). What differs between the two is in the turns.
// Qt-free; runs on the network thread, which alone talks to the library.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "conn/Backoff.h"

struct mosquitto;

namespace corvane {

struct TNetworkTurns {
    // A turn while the library has a socket.
    std::function<void()> Service;
    // The socket went, refused, failed or dropped; the next attempt comes in wait seconds.
    std::function<void(int wait)> Lost;
    // Each turn without a socket, before an attempt is made or waited for (may be empty).
    std::function<void()> Idle;
    // A connection attempt; false when it failed at once (the back-off's next wait follows).
    std::function<bool()> Attempt;
};

// Runs until stopping is set. socketSince is when the library's socket last came, for the
// client's look at an unanswered connect.
void RunNetwork(mosquitto* mosq, TBackoff& retry, int wakeFd, const std::atomic<bool>& stopping,
                std::chrono::steady_clock::time_point& socketSince, const TNetworkTurns& turns);

// The rest of a turn with a socket after what the broker sent was read with result rc: the
// library writes what waits and keeps the connection alive. Why the connection is lost, or empty.
std::string FinishTurn(mosquitto* mosq, int rc);

} // namespace corvane
