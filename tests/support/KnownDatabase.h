// A history database of known sensors, repeaters and entry points written by hand, as the
// recording run leaves them: made with its tables by the history file itself, then rows put in
// the known tables with their 8-bit text as UTF-8.
#pragma once

#include <cstdint>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "history/HistoryFile.h"
#include "history/Sqlite.h"
#include "util/JsonText.h"

namespace corvane::testing {

class TKnownDatabase {
public:
    explicit TKnownDatabase(std::string path) : path_(std::move(path)) {
        std::vector<std::string> log;
        if (file_.Open(path_, clock_, log) != THistoryOpen::Recording)
            throw std::runtime_error("cannot make " + path_);
    }

    const std::string& Path() const { return path_; }
    // While made, the file's own connection; once closed (so that a run may hold the file),
    // one without the hold that waits for the run's writes.
    TSqlite& Db() {
        if (file_.Db().IsOpen())
            return file_.Db();
        if (!plain_.IsOpen() &&
            (!plain_.Open(path_, false) || !plain_.Exec("PRAGMA busy_timeout = 5000")))
            throw std::runtime_error("cannot open " + path_);
        return plain_;
    }
    void Close() {
        file_.Close();
        plain_.Close();
    }

    // entry: the entry number of the last read, -1 for none; repeater: '\0' when heard directly.
    void Sensor(int64_t serNo, const std::string& label, int64_t lastMs, double usualGap, int entry,
                char repeater) {
        TSqlStatement s(Db(), "INSERT INTO sensors(serno, kind, label, first_ms, last_ms,"
                              " usual_gap_s, last_entry, last_repeater)"
                              " VALUES(?1, 1, ?2, ?3, ?3, ?4, ?5, ?6)");
        s.Bind(1, serNo);
        s.BindText(2, Utf8(label));
        s.Bind(3, lastMs);
        Gap(s, 4, usualGap);
        if (entry < 0)
            s.BindNull(5);
        else
            s.Bind(5, entry);
        if (repeater == '\0')
            s.BindNull(6);
        else
            s.BindText(6, Utf8(std::string(1, repeater)));
        Run(s);
    }
    void Repeater(char letter, int64_t lastMs, double usualGap) {
        TSqlStatement s(Db(), "INSERT INTO repeaters(letter, first_ms, last_ms, usual_gap_s)"
                              " VALUES(?1, ?2, ?2, ?3)");
        s.BindText(1, Utf8(std::string(1, letter)));
        s.Bind(2, lastMs);
        Gap(s, 3, usualGap);
        Run(s);
    }
    void Entry(int number, const std::string& name, int64_t lastMs, double usualGap) {
        TSqlStatement s(Db(), "INSERT INTO entries(number, name, first_ms, last_ms, usual_gap_s)"
                              " VALUES(?1, ?2, ?3, ?3, ?4)");
        s.Bind(1, number);
        s.BindText(2, Utf8(name));
        s.Bind(3, lastMs);
        Gap(s, 4, usualGap);
        Run(s);
    }

private:
    static std::string Utf8(const std::string& latin1) {
        std::string out;
        AppendLatin1AsUtf8(out, latin1);
        return out;
    }
    static void Gap(TSqlStatement& s, int i, double gap) {
        if (gap < 0)
            s.BindNull(i);
        else
            s.BindDouble(i, gap);
    }
    void Run(TSqlStatement& s) {
        if (!s.Ok() || s.Step() != SQLITE_DONE)
            throw std::runtime_error("cannot write " + path_ + ": " + Db().Error());
    }

    std::string path_;
    TManualClock clock_;
    THistoryFile file_;
    TSqlite plain_;
};

} // namespace corvane::testing
