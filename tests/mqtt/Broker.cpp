#include "Broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
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

TBroker::TBroker(bool tls) : port_(FreePort()) {
    QString text = QString("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n"
                           "log_dest none\n")
                       .arg(port_);
    if (tls) {
        do
            tlsPort_ = FreePort();
        while (tlsPort_ == port_);
        MakeCertificates();
        text += QString("listener %1 127.0.0.1\ncafile %2\ncertfile %3\nkeyfile %4\n")
                    .arg(tlsPort_)
                    .arg(dir_.filePath("ca.crt"), dir_.filePath("server.crt"),
                         dir_.filePath("server.key"));
    }
    QFile conf(dir_.filePath("mosquitto.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write(text.toLatin1());
}

void TBroker::MakeCertificates() {
    const auto run = [this](const QStringList& args) {
        if (!tlsError_.empty())
            return;
        QProcess openssl;
        openssl.setWorkingDirectory(dir_.path());
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start("openssl", args);
        if (!openssl.waitForFinished(20000) || openssl.exitStatus() != QProcess::NormalExit ||
            openssl.exitCode() != 0)
            tlsError_ = "openssl " + args.join(' ').toStdString() + ": " +
                        openssl.errorString().toStdString() + " " + openssl.readAll().toStdString();
    };
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    for (const QString ca : {"ca", "other-ca"})
        run(QStringList{"req", "-x509"} + key +
            QStringList{"-keyout", ca + ".key", "-out", ca + ".crt", "-days", "2", "-subj",
                        "/CN=Corvane test " + ca});
    run(QStringList{"req"} + key +
        QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"});
    QFile ext(dir_.filePath("server.ext"));
    ext.open(QIODevice::WriteOnly);
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
         "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "server.ext"});
    // A broker started as root reads them as the user it becomes.
    for (const QString f : {"ca.crt", "server.crt", "server.key"})
        QFile::setPermissions(dir_.filePath(f), QFileDevice::ReadOwner | QFileDevice::ReadOther |
                                                    QFileDevice::WriteOwner);
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ExeOther);
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
        if (Listening(port_) && (tlsPort_ == 0 || Listening(tlsPort_)))
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

bool Publish(int port, const std::vector<TMessage>& messages, int milliseconds) {
    mosquitto_lib_init();
    std::atomic<int> acknowledged{0};
    mosquitto* m = mosquitto_new(nullptr, true, &acknowledged);
    mosquitto_publish_callback_set(
        m, [](mosquitto*, void* count, int) { ++*static_cast<std::atomic<int>*>(count); });
    bool ok = mosquitto_connect(m, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
              mosquitto_loop_start(m) == MOSQ_ERR_SUCCESS;
    for (const TMessage& message : messages)
        ok = ok && mosquitto_publish(m, nullptr, message.Topic.c_str(), int(message.Payload.size()),
                                     message.Payload.constData(), 1,
                                     message.Retained) == MOSQ_ERR_SUCCESS;
    QDeadlineTimer deadline(milliseconds);
    while (ok && acknowledged.load() < int(messages.size()) && !deadline.hasExpired())
        QThread::msleep(5);
    ok = ok && acknowledged.load() == int(messages.size());
    mosquitto_disconnect(m);
    mosquitto_loop_stop(m, false);
    mosquitto_destroy(m);
    return ok;
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
