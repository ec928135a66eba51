#include "history/HistoryCheck.h"

#include <sqlite3.h>

#include "history/Sqlite.h"
#include "util/ThreadPriority.h"

namespace corvane {

THistoryCheck::THistoryCheck(std::string path) {
    thread_ = std::thread([this, path = std::move(path)] {
        SetThisThreadNice(19); // reading a whole file is the least urgent of all
        NameThisThread("history check");
        Run(path);
    });
}

THistoryCheck::~THistoryCheck() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        if (running_)
            sqlite3_interrupt(running_);
    }
    thread_.join();
}

std::string THistoryCheck::Result() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
}

void THistoryCheck::Run(const std::string& path) {
    TSqlite db;
    std::string result;
    if (db.Open(path, false, true)) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ending_)
                return;
            running_ = db.Handle();
        }
        result = db.QueryText("PRAGMA quick_check");
        const int code = db.ErrorCode() & 0xFF;
        // A damaged file says so as the check's answer or as the error that ended it.
        if (result.empty() && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB))
            result = db.Error();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = nullptr;
    result_ = result;
    done_ = true;
}

} // namespace corvane
