#include "mqtt/NetworkLoop.h"

#include <mosquitto.h>
#include <poll.h>

#include <algorithm>

#include "mqtt/MqttPublisher.h"

namespace corvane {

void RunNetwork(mosquitto* mosq, TBackoff& retry, int wakeFd, const std::atomic<bool>& stopping,
                std::chrono::steady_clock::time_point& socketSince, const TNetworkTurns& turns) {
    using Clock = std::chrono::steady_clock;
    bool hadSocket = mosquitto_socket(mosq) >= 0;
    socketSince = Clock::now();
    Clock::time_point next = Clock::now();
    if (!hadSocket)
        next += std::chrono::seconds(retry.Next(SteadySeconds(next)));
    while (!stopping.load()) {
        if (mosquitto_socket(mosq) >= 0) {
            if (!hadSocket)
                socketSince = Clock::now();
            hadSocket = true;
            turns.Service();
            continue;
        }
        if (hadSocket) {
            hadSocket = false;
            const auto now = Clock::now();
            const int wait = retry.Next(SteadySeconds(now));
            next = now + std::chrono::seconds(wait);
            turns.Lost(wait);
        }
        if (turns.Idle)
            turns.Idle();
        const auto now = Clock::now();
        if (now >= next) {
            if (!turns.Attempt())
                next = now + std::chrono::seconds(retry.Next(SteadySeconds(now)));
            continue;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
        pollfd wake{wakeFd, POLLIN, 0};
        if (::poll(&wake, 1, int(std::min<int64_t>(wait.count() + 1, 1000))) > 0)
            DrainWake(wakeFd);
    }
}

std::string FinishTurn(mosquitto* mosq, int rc) {
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0 && mosquitto_want_write(mosq))
        rc = mosquitto_loop_write(mosq, 1);
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(mosq) >= 0)
        rc = mosquitto_loop_misc(mosq);
    return rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN ? MqttReason(rc) : std::string();
}

} // namespace corvane
