// The history database at a run's start and end, window and service alike: the file opened and
// checked, the newest reads registered again with their own times, then every new read and
// alert change recorded until the run stops.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "history/HistoryRecord.h"
#include "history/HistoryTime.h"

namespace corvane {

class TMonitor;
class THistoryFile;
class THistoryRecorder;
class THistoryWriter;
struct TStoredRead;

// Registers a stored read again in the monitor, as the intake registered it then.
void ReplayStoredRead(TMonitor& monitor, const TStoredRead& stored);

class THistoryRecording {
public:
    using TLog = std::function<void(std::string_view)>;
    THistoryRecording(TMonitor& monitor, TLog log);
    ~THistoryRecording();
    THistoryRecording(const THistoryRecording&) = delete;
    THistoryRecording& operator=(const THistoryRecording&) = delete;

    // Nothing when settings.Keep is false. Otherwise opens the file at path, puts the reads
    // younger than the store's MaxAge back into the monitor, and records from then on (unless
    // another run records into the file). Call once, after the monitor's settings are applied
    // and before any connection is opened.
    void Start(const std::string& path, const THistorySettings& settings,
               const std::string& station);
    // Delivers the writer's log lines; from a timer of the caller's.
    void Poll();
    // Records what is waiting and marks the run as ended cleanly.
    void Stop();

    // The file that can be read for the history window and the missing list; empty when the
    // run keeps no history.
    const std::string& ReadablePath() const { return readablePath_; }
    bool Recording() const { return writer_ != nullptr; }
    THistoryWriter* Writer() const { return writer_.get(); }
    // Puts stored reads on this run's time line, now.
    TRunMapping Mapping() const;
    int32_t RestoredReads() const { return restoredReads_; }

private:
    void Restore(THistoryFile& file);
    void StartWriting(std::unique_ptr<THistoryFile> file, const THistorySettings& settings,
                      const std::string& station);

    TMonitor& monitor_;
    TLog log_;
    std::string readablePath_;
    std::unique_ptr<THistoryWriter> writer_;
    std::unique_ptr<THistoryRecorder> recorder_;
    int32_t restoredReads_ = 0;
};

} // namespace corvane
