#include "mqtt/MqttPublisher.h"

#include <mosquitto.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "mqtt/MqttNames.h"
#include "store/ActivityStore.h"
#include "store/DecodedPacket.h"
#include "util/ThreadPriority.h"
#include "util/untConst.h"

namespace corvane {

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void AppendHex(std::string& out, const uint8_t* bytes, size_t n) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < n; ++i) {
        out += Hex[bytes[i] >> 4];
        out += Hex[bytes[i] & 0xF];
    }
}

} // namespace

int SetLogin(mosquitto* mosq, const TMqttSettings& settings) {
    if (!settings.User.empty())
        mosquitto_username_pw_set(mosq, settings.User.c_str(),
                                  settings.Password.empty() ? nullptr : settings.Password.c_str());
    if (!settings.Tls)
        return MOSQ_ERR_SUCCESS;
    const char* ca = settings.CaFile.empty() ? nullptr : settings.CaFile.c_str();
    // Without a file of its own the system's trusted authorities vouch for the broker.
    const char* caPath = ca ? nullptr : "/etc/ssl/certs";
    return mosquitto_tls_set(mosq, ca, caPath, nullptr, nullptr, nullptr);
}

std::string MqttReason(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

std::string_view DeviceStateName(TAlertState state) {
    switch (state) {
    case TAlertState::Late:
        return "late";
    case TAlertState::Silent:
        return "silent";
    default:
        return "reporting";
    }
}

TMqttPublisher::TMqttPublisher(TMqttSettings settings, TLog log)
    : settings_(MqttSettingsAsUtf8(settings)), rawSettings_(std::move(settings)),
      log_(std::move(log)), sensorStates_(MaxSensors), repeatStates_(MaxRepeats),
      entryStates_(MaxEntries), discovery_(rawSettings_),
      rawBase_(rawSettings_.Topic + '/' + rawSettings_.Station), sensorAnnounced_(MaxSensors),
      repeatAnnounced_(MaxRepeats), entryAnnounced_(MaxEntries) {
    base_ = settings_.Topic + '/' + settings_.Station;
    packetTopic_ = base_ + "/packet";
    lineTopic_ = base_ + "/line";
    statusTopic_ = base_ + "/status";
}

TMqttPublisher::~TMqttPublisher() {
    if (alertStore_)
        alertStore_->Alerts.Unsubscribe(this);
    Stop();
    if (mosq_)
        mosquitto_destroy(mosq_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

std::string TMqttPublisher::BrokerName() const {
    return settings_.Host + ':' + std::to_string(settings_.Port);
}

bool TMqttPublisher::Start() {
    InitLibrary();
    if (running_)
        return true;
    auto fail = [this](std::string_view what) {
        log_("MQTT broker " + BrokerName() + " not used: " + std::string(what));
        return false;
    };
    if (const std::string problem = MqttSettingsProblem(rawSettings_); !problem.empty())
        return fail(problem);
    if (!mosq_)
        mosq_ = mosquitto_new(settings_.ClientId.c_str(), true, this);
    if (!mosq_)
        return fail(std::strerror(errno));
    if (const int rc = Configure(); rc != MOSQ_ERR_SUCCESS)
        return fail(mosquitto_strerror(rc));
    if (wakeFd_ < 0)
        wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        return fail(std::strerror(errno));
    retry_.Reset();
    stream_.Reset();
    // The first attempt is made here, so that settings the library cannot use at all are said
    // at once; the thread makes every later one.
    const int rc = mosquitto_connect_async(mosq_, settings_.Host.c_str(), settings_.Port,
                                           settings_.KeepAliveSec);
    if (rc == MOSQ_ERR_INVAL)
        return fail(mosquitto_strerror(rc));
    if (rc != MOSQ_ERR_SUCCESS)
        ReportLost(MqttReason(rc));
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] {
        NameThisThread("mqtt publisher");
        Run();
    });
    return true;
}

int TMqttPublisher::Configure() {
    mosquitto_connect_callback_set(mosq_, &TMqttPublisher::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &TMqttPublisher::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &TMqttPublisher::OnPublish);
    mosquitto_message_callback_set(mosq_, &TMqttPublisher::OnMessage);
    // Each message goes out when it is made: held back for the broker's acknowledgement of the
    // one before, a station's lines reached a desk tens of milliseconds late.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    if (const int rc = SetLogin(mosq_, settings_); rc != MOSQ_ERR_SUCCESS)
        return rc;
    static constexpr char Offline[] = "offline";
    return mosquitto_will_set(mosq_, statusTopic_.c_str(), int(sizeof Offline - 1), Offline, 1,
                              true);
}

void TMqttPublisher::Stop() {
    if (!running_)
        return;
    running_ = false;
    // Taken before the thread says goodbye to the broker: a run stopped on purpose while
    // connected ends connected, not lost for no reason.
    const bool wasConnected = connected_.load();
    stopping_ = true;
    Wake();
    thread_.join();
    endState_ = wasConnected     ? "connected"
                : everConnected_ ? "lost (" + lastLost_ + ")"
                                 : "never connected";
    connected_ = false;
    Poll();
}

bool TMqttPublisher::Send(const std::string& topic, std::string_view payload, int qos,
                          bool retain) {
    if (!running_ || !connected_.load()) {
        ++dropped_;
        return false;
    }
    bool asleep;
    {
        std::lock_guard lock(queueMutex_);
        if (queued_ >= size_t(QueueMax)) {
            ++dropped_;
            return false;
        }
        if (queued_ == queue_.size())
            queue_.emplace_back();
        TOutMessage& m = queue_[queued_++];
        m.Topic.assign(topic);
        m.Payload.assign(payload);
        m.Qos = qos;
        m.Retain = retain;
        asleep = idle_;
        idle_ = false;
    }
    // A thread at work takes what was queued meanwhile on its next turn unasked.
    if (asleep)
        Wake();
    return true;
}

void TMqttPublisher::Poll() {
    std::vector<std::string> events;
    {
        std::lock_guard lock(eventsMutex_);
        events.swap(events_);
    }
    for (const std::string& e : events)
        log_(e);
}

std::string TMqttPublisher::Summary() const {
    std::string text = "MQTT broker " + BrokerName() + ": ";
    // Once stopped, what the broker's connection was when the run ended.
    if (!endState_.empty())
        text += endState_;
    else
        text += connected_.load() ? "connected" : "not connected";
    return text + ", " + std::to_string(Sent()) + " sent, " + std::to_string(Dropped()) +
           " dropped";
}

void TMqttPublisher::OnLine(std::string_view connName, std::string_view line, TDateTime wall) {
    if (!settings_.Lines)
        return;
    if (!running_ || !connected_.load()) {
        ++dropped_;
        return;
    }
    // A serial link is named by its number alone: its device is this station's own business.
    if (const size_t device = connName.find(" ("); device != std::string_view::npos)
        connName = connName.substr(0, device);
    TJsonText& j = json_.Begin();
    j.Field("time", FormatIsoTime(wall)).Field("conn", connName).Field("line", line);
    Send(lineTopic_, j.End(), 0, false);
}

void TMqttPublisher::OnRead(const TStore& store, const TRegisteredRead& read) {
    if (!running_ || !connected_.load()) {
        ++dropped_; // nothing to build for a broker that is not there
        return;
    }
    const TDecodedPacket& p = read.Packet;
    char label[NameMax + 1];
    char serial[16];
    SerialToHex(p.SerNo, serial);
    TJsonText& j = json_.Begin();
    j.Field("time", FormatIsoTime(read.Wall))
        .Field("serial", std::string_view(serial, 16))
        .Field("label", store.SensorLabel(read.Row, label))
        .Field("kind", SensorKindName(p.Kind))
        .Field("kind_id", int(p.Kind));
    if (read.Repeat != NoIndex)
        j.Field("repeater", std::string_view(&store.Repeats[read.Repeat].Id, 1));
    else
        j.Null("repeater");
    if (read.Entry != NoIndex)
        j.Field("entry", int(store.Entries[read.Entry].Id))
            .Field("entry_name", store.Entries[read.Entry].Name.View());
    else
        j.Null("entry").Null("entry_name");
    std::string hex;
    hex.reserve(22);
    AppendHex(hex, p.Packet, 11);
    j.Field("duplicate", read.Duplicate).Field("data", hex);
    const uint8_t crc[2] = {uint8_t(p.Crc >> 8), uint8_t(p.Crc & 0xFF)};
    hex.clear();
    AppendHex(hex, crc, 2);
    j.Field("crc", hex);
    Send(packetTopic_, j.End(), 0, false);
}

} // namespace corvane
