// A broker of the test's own on a free loopback port: a small socket server that speaks just
// enough MQTT 3.1.1 to take a client's CONNECT and then does what the test asks, well-meant or
// hostile. It reads and throws away whatever the client sends, and counts connections and what
// it managed to write.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace corvane::testing {

class TFakeBroker {
public:
    // What the broker does with one accepted connection once the client's CONNECT arrived.
    // send writes bytes and returns false once the client has gone.
    using TBehaviour = std::function<void(const std::function<bool(const std::string&)>& send)>;

    // hold: keep each connection until the client leaves; otherwise close it after behaviour.
    explicit TFakeBroker(TBehaviour behaviour, bool hold = true);
    ~TFakeBroker();
    int Port() const { return port_; }
    int Connections() const { return connections_.load(); }
    // Connections the client ended while the behaviour was still sending.
    int ClosedByClient() const { return closedByClient_.load(); }
    uint64_t BytesWritten() const { return written_.load(); }

    static std::string Connack(); // accepted
    // A PUBLISH of payload on topic at qos (packet id 1 for qos above 0).
    static std::string Publish(const std::string& topic, const std::string& payload, int qos,
                               int id = 1);
    // The fixed header of a PUBLISH that announces length bytes after it.
    static std::string PublishHeader(uint32_t length);

private:
    void Serve();
    void Handle(int client);

    TBehaviour behaviour_;
    bool hold_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> closedByClient_{0};
    std::atomic<uint64_t> written_{0};
    std::thread thread_;
};

// The resident memory of this process, in bytes.
size_t ResidentBytes();

} // namespace corvane::testing
