#include "app/HistoryRecording.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "CorvaneVersion.h"
#include "app/Monitor.h"
#include "app/PacketLine.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryRestore.h"
#include "history/HistoryWriter.h"
#include "util/untConst.h"

namespace corvane {

namespace {

int16_t OffsetMinutes(const TClock& clock, TDateTime wall) {
    return static_cast<int16_t>(std::lround((clock.ToLocal(wall) - wall) * 1440.0));
}

} // namespace

THistoryRecording::THistoryRecording(TMonitor& monitor, TLog log)
    : monitor_(monitor), log_(std::move(log)) {}

THistoryRecording::~THistoryRecording() {
    Stop();
}

void THistoryRecording::Start(const std::string& path, const THistorySettings& settings,
                              const std::string& station) {
    if (!settings.Keep)
        return;
    auto file = std::make_unique<THistoryFile>();
    std::vector<std::string> lines;
    const THistoryOpen state = file->Open(path, monitor_.Clock(), lines);
    for (const std::string& line : lines)
        log_(line);
    if (!file->Db().IsOpen())
        return;
    readablePath_ = path;
    Restore(*file);
    if (state == THistoryOpen::Recording)
        StartWriting(std::move(file), settings, station);
}

TRunMapping THistoryRecording::Mapping() const {
    TRunMapping m;
    const TClock& clock = monitor_.Clock();
    m.Now = clock.Now();
    m.WallNowMs = WallToUnixMs(clock.WallNow());
    if (writer_) {
        m.CurrentRun = writer_->RunId();
        m.CurrentStart = writer_->Run().StartTime;
    } else {
        m.CurrentStart = m.Now;
    }
    return m;
}

void THistoryRecording::Restore(THistoryFile& file) {
    TRunMapping mapping = Mapping();
    std::vector<TStoredRead> reads;
    std::string error;
    if (!LoadRecentReads(file.Db(), mapping, monitor_.Store().Settings.MaxAge, MaxReads, reads,
                         error)) {
        log_("History database: " + error + "; nothing restored");
        return;
    }
    std::unordered_set<int64_t> sensors;
    for (const TStoredRead& stored : reads) {
        ReplayStoredRead(monitor_, stored);
        sensors.insert(stored.Read.SerNo);
    }
    restoredReads_ = static_cast<int32_t>(reads.size());
    if (!reads.empty())
        log_("Restored " + std::to_string(reads.size()) + " reads of " +
             std::to_string(sensors.size()) + " sensors from " + file.Path());
}

void ReplayStoredRead(TMonitor& monitor, const TStoredRead& stored) {
    const THistoryRead& r = stored.Read;
    TDecodedPacket p;
    p.RepeaterId = r.Repeater;
    p.Kind = r.Kind;
    const TPacketType type = PacketTypeOfByte(r.Data[0]);
    p.Marked = type.Kind != 0 ? type.Marked : 0; // as the decoder marks a row
    p.SerNo = r.SerNo;
    p.Crc = r.Crc;
    std::copy(std::begin(r.Data), std::end(r.Data), p.Packet);
    const auto check = static_cast<uint16_t>(0xFFFF - r.Crc);
    p.Packet[11] = static_cast<uint8_t>(check & 0xFF);
    p.Packet[12] = static_cast<uint8_t>(check >> 8);
    p.EntryId = r.Entry;
    p.EntryName = r.EntryName.View();
    p.SensorName = r.SensorName.View();
    monitor.Replay(p, stored.Time, stored.Wall);
}

void THistoryRecording::StartWriting(std::unique_ptr<THistoryFile> file,
                                     const THistorySettings& settings, const std::string& station) {
    const TClock& clock = monitor_.Clock();
    THistoryRun run;
    run.Version = CORVANE_VERSION;
    run.Station = station;
    run.StartTime = clock.Now();
    const TDateTime wall = clock.WallNow();
    run.StartWallMs = WallToUnixMs(wall);
    run.UtcOffsetMin = OffsetMinutes(clock, wall);
    auto writer = std::make_unique<THistoryWriter>(std::move(file), settings, run, log_);
    if (!writer->Start())
        return;
    writer_ = std::move(writer);
    recorder_ = std::make_unique<THistoryRecorder>(*writer_, monitor_.Store());
    monitor_.AddReadObserver(recorder_.get());
}

void THistoryRecording::Poll() {
    if (!writer_)
        return;
    writer_->SetWallNow(WallToUnixMs(monitor_.Clock().WallNow()));
    writer_->Poll();
}

void THistoryRecording::Stop() {
    if (!writer_)
        return;
    monitor_.RemoveReadObserver(recorder_.get());
    recorder_.reset();
    writer_->SetWallNow(WallToUnixMs(monitor_.Clock().WallNow()));
    writer_->Stop();
    writer_->Poll();
    writer_.reset();
}

} // namespace corvane
