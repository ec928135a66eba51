// Feeds arbitrary bytes, as a broker's answer to CONNECT, into the publisher's receive path: the
// look at each fixed header and the library's read, over a real loopback connection. Besides the
// sanitizers, it checks that a PUBLISH or an oversized packet where a packet starts is never
// handed to the library, and that the connection always ends within a bounded number of reads.
#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "mqtt/MqttPublisher.h"

using namespace corvane;

namespace {

int listener = -1;
int port = 0;

void Listen() {
    mosquitto_lib_init();
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0)
        abort();
    socklen_t size = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
}

// True when the first packet of data would be refused before the library reads it.
bool RefusedAtOnce(const uint8_t* data, size_t size) {
    if (size < 2)
        return false;
    const unsigned type = data[0] >> 4;
    const bool answer =
        type == 2 || type == 4 || type == 5 || type == 7 || type == 13 || type == 14;
    return !answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (listener < 0)
        Listen();
    if (size > 60000)
        return 0; // what one socket buffer holds, so that the broker's side never waits
    mosquitto* mosq = mosquitto_new("fuzz", true, nullptr);
    if (!mosq || mosquitto_connect_async(mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        abort();
    const int broker = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (broker < 0)
        abort();
    // The client's CONNECT goes out and is read, then the broker says its piece and leaves.
    for (int i = 0; i < 10 && mosquitto_want_write(mosq); ++i)
        mosquitto_loop_write(mosq, 1);
    char sink[512];
    [[maybe_unused]] ssize_t got = ::recv(broker, sink, sizeof sink, 0);
    if (size > 0 && ::send(broker, data, size, MSG_NOSIGNAL) != ssize_t(size))
        abort();
    ::shutdown(broker, SHUT_WR);

    TBrokerStream stream;
    int rc = MOSQ_ERR_SUCCESS;
    int reads = 0;
    for (; reads < 20000 && mosquitto_socket(mosq) >= 0; ++reads) {
        pollfd p{mosquitto_socket(mosq), POLLIN | POLLRDHUP, 0};
        ::poll(&p, 1, 100);
        rc = ReadFromBroker(mosq, stream, true, p.revents & (POLLRDHUP | POLLHUP));
        if (rc == ReadUnexpected || rc != MOSQ_ERR_SUCCESS)
            break;
    }
    if (RefusedAtOnce(data, size) && rc != ReadUnexpected)
        abort(); // a packet a publisher is never sent reached the library
    if (reads >= 20000)
        abort(); // the connection neither ended nor was refused
    ::close(broker);
    mosquitto_destroy(mosq);
    return 0;
}
