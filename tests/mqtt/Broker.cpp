#include "Broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <mosquitto.h>

namespace corvane::testing {

namespace {
int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool Listening(int port) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(port));
    return s.waitForConnected(200);
}
} // namespace

TBroker::TBroker() : port_(FreePort()) {
    QFile conf(dir_.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write(QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                       "log_dest none\n")
                   .arg(port_)
                   .toLatin1());
}

TBroker::~TBroker() {
    Stop();
}

bool TBroker::Start() {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start("mosquitto", {"-c", dir_.filePath("mosquitto.conf")});
    if (!process_.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (Listening(port_))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void TBroker::Stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QJsonObject TMessage::Json() const {
    return QJsonDocument::fromJson(Payload).object();
}

TSubscriber::TSubscriber(int port, const std::string& pattern) : pattern_(pattern) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(mosq_, &TSubscriber::OnMessage);
    mosquitto_connect_callback_set(mosq_, &TSubscriber::OnConnect);
    mosquitto_connect(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
}

TSubscriber::~TSubscriber() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void TSubscriber::OnConnect(mosquitto* m, void* obj, int rc) {
    auto* self = static_cast<TSubscriber*>(obj);
    if (rc != 0)
        return;
    mosquitto_subscribe(m, nullptr, self->pattern_.c_str(), 0);
    std::lock_guard lock(self->mutex_);
    self->subscribed_ = true;
}

void TSubscriber::OnMessage(mosquitto*, void* obj, const mosquitto_message* m) {
    auto* self = static_cast<TSubscriber*>(obj);
    std::lock_guard lock(self->mutex_);
    self->messages_.push_back(
        {m->topic, QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain});
}

bool TSubscriber::WaitConnected(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        {
            std::lock_guard lock(mutex_);
            if (subscribed_)
                break;
        }
        QThread::msleep(10);
    }
    // The subscription itself is acknowledged a moment after the connection.
    QThread::msleep(100);
    std::lock_guard lock(mutex_);
    return subscribed_;
}

std::vector<TMessage> TSubscriber::Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<TMessage> TSubscriber::On(const std::string& topic) {
    std::vector<TMessage> found;
    for (TMessage& m : Messages())
        if (m.Topic == topic)
            found.push_back(std::move(m));
    return found;
}

size_t TSubscriber::Count() {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

bool TSubscriber::WaitFor(size_t n, const std::string& topic, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    for (;;) {
        const size_t have = topic.empty() ? Count() : On(topic).size();
        if (have >= n)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

} // namespace corvane::testing
