// A real Mosquitto broker on a free loopback port, with a configuration file of its own, and a
// subscriber that keeps every message it receives.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace corvane::testing {

class TBroker {
public:
    // With tls, a second listener speaks TLS with a server certificate from a throwaway
    // authority made for this broker alone.
    explicit TBroker(bool tls = false);
    ~TBroker();
    // Starts the broker (again, on the same ports); false when it does not listen in time.
    bool Start();
    void Stop();
    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    // The authority that signed the server's certificate, and one that did not.
    std::string CaFile() const { return dir_.filePath("ca.crt").toStdString(); }
    std::string OtherCaFile() const { return dir_.filePath("other-ca.crt").toStdString(); }
    // Empty, or what went wrong making the certificates.
    const std::string& TlsError() const { return tlsError_; }

private:
    void MakeCertificates();

    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    int tlsPort_ = 0;
    std::string tlsError_;
};

struct TMessage {
    std::string Topic;
    QByteArray Payload;
    bool Retained = false;
    QJsonObject Json() const; // the payload parsed as a JSON object (empty when it is none)
};

// Publishes the messages in order, each retained as it says, at QoS 1, and returns once the
// broker at port has acknowledged them all; false when it did not in time.
bool Publish(int port, const std::vector<TMessage>& messages, int milliseconds = 5000);

class TSubscriber {
public:
    // Subscribes to pattern on the broker at port; Connected() tells when it is there.
    TSubscriber(int port, const std::string& pattern);
    ~TSubscriber();
    bool WaitConnected(int milliseconds = 5000);
    std::vector<TMessage> Messages();
    std::vector<TMessage> On(const std::string& topic);
    size_t Count();
    // Waits until at least n messages arrived on topic (all topics when empty).
    bool WaitFor(size_t n, const std::string& topic = {}, int milliseconds = 5000);

private:
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* m);
    static void OnConnect(mosquitto*, void* self, int rc);
    mosquitto* mosq_ = nullptr;
    std::string pattern_;
    std::mutex mutex_;
    std::vector<TMessage> messages_;
    bool subscribed_ = false;
};

} // namespace corvane::testing
