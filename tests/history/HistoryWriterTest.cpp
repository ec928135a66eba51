// The writer against what a disk can do to it: fill up, lose its file, fall behind.
#include "history/HistoryWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "history/HistoryTime.h"
#include "support/DamagedHistory.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

constexpr int64_t kNow = 1'796'000'000'000; // December 2026

THistoryRead Read(int64_t serNo, int64_t wallMs) {
    THistoryRead r;
    r.SerNo = serNo;
    r.WallMs = wallMs;
    r.MonoMs = wallMs - kNow;
    r.Kind = 3;
    r.Data[0] = 0x10;
    r.EntryName.Assign("North");
    return r;
}

struct TRig {
    explicit TRig(THistorySettings settings = {}) {
        auto file = std::make_unique<THistoryFile>();
        TManualClock clock;
        std::vector<std::string> lines;
        EXPECT_EQ(file->Open(Path, clock, lines), THistoryOpen::Recording);
        THistoryRun run;
        run.Version = "test";
        run.Station = "desk";
        run.StartWallMs = kNow;
        Writer = std::make_unique<THistoryWriter>(
            std::move(file), settings, run, [this](std::string_view l) { Log.emplace_back(l); });
        Writer->SteadyNow = [this] {
            return std::chrono::steady_clock::time_point{} + Steady.load() * 1ms;
        };
        Writer->BeforeBatch = [this](TSqlite& db) {
            if (Full.load())
                db.Exec("PRAGMA max_page_count = 1");
            else
                db.Exec("PRAGMA max_page_count = 1073741823");
            if (Stall.exchange(false))
                std::this_thread::sleep_for(400ms);
        };
        Writer->SetWallNow(kNow);
        EXPECT_TRUE(Writer->Start());
    }
    int64_t Count(const char* sql) {
        TSqlite db;
        if (!db.Open(Path, false, true))
            return -1;
        return db.QueryInt(sql);
    }
    // Waits for done for at most five seconds, the writer's steady clock moving a second a turn.
    template <typename F>
    bool WaitMoving(F done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            Steady += 1000;
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }
    // Polls the writer's log until a line arrives, for at most five seconds.
    bool WaitForLine(const std::string& line) {
        for (int i = 0; i < 500; ++i) {
            Writer->Poll();
            if (std::find(Log.begin(), Log.end(), line) != Log.end())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    TTempDir Dir;
    std::string Path = Dir.Path() + "/corvane_history.db";
    std::vector<std::string> Log;
    std::atomic<int64_t> Steady{0};
    std::atomic<bool> Full{false};
    std::atomic<bool> Stall{false};
    std::unique_ptr<THistoryWriter> Writer;
};

TEST(HistoryWriterTest, RecordsReadsAndTheRunAndEndsTheRunCleanly) {
    TRig rig;
    for (int i = 0; i < 12000; ++i)
        ASSERT_TRUE(rig.Writer->Push(Read(100 + i % 50, kNow + i)));
    rig.Writer->Flush();
    EXPECT_EQ(rig.Writer->Recorded(), 12000u);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM reads"), 12000);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM sensors"), 50);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM names"), 1);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM runs WHERE stopped_ms IS NULL"), 1);
    rig.Writer->Stop();
    EXPECT_EQ(rig.Count("SELECT clean FROM runs"), 1);
    EXPECT_EQ(rig.Count("SELECT max(last_ms) - min(first_ms) FROM sensors"), 11999);
}

// The write-ahead log is copied back by the checkpointer while the writer goes on, so that it
// stays bounded however long the flood lasts, and nothing is lost on the way.
TEST(HistoryWriterTest, TheLogIsCopiedBackWhileTheWriterGoesOn) {
    TRig rig;
    constexpr int kReads = 90000;
    for (int i = 0; i < kReads; ++i) {
        ASSERT_TRUE(rig.Writer->Push(Read(1000 + (i * 7919) % 2000, kNow + i)));
        if (i % 15000 == 14999)
            rig.Writer->Flush();
    }
    rig.Writer->Flush();
    for (int i = 0; i < 500 && rig.Writer->Checkpoints() == 0; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_GT(rig.Writer->Checkpoints(), 0u);
    // The pages are in the database itself while the writer still runs (closing it would copy
    // them back anyway): a checkpoint that copied nothing left the file at its first page.
    EXPECT_GT(std::filesystem::file_size(rig.Path), uintmax_t{2} << 20);
    // At most the log kept between checkpoints, and what the batches wrote while one ran.
    EXPECT_LT(std::filesystem::file_size(rig.Path + "-wal"),
              static_cast<uintmax_t>(THistoryCheckpointer::LogKeepBytes + (32 << 20)));
    EXPECT_EQ(rig.Count("SELECT count(*) FROM reads"), kReads);
    rig.Writer->Stop();
    TSqlite db;
    ASSERT_TRUE(db.Open(rig.Path, false, true));
    EXPECT_EQ(db.QueryText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM reads"), kReads);
}

// A large file is checked after the start: found damaged, it is put aside with what this run
// recorded into it so far, and the recording goes on in a new file.
TEST(HistoryWriterTest, AFileFoundDamagedAfterTheStartIsPutAsideAndMadeAnew) {
    TTempDir dir;
    const std::string path = dir.Path() + "/corvane_history.db";
    ASSERT_TRUE(MakeDamagedWithin(path));
    auto file = std::make_unique<THistoryFile>();
    TManualClock clock;
    std::vector<std::string> lines;
    ASSERT_EQ(file->Open(path, clock, lines, 0), THistoryOpen::Recording);
    ASSERT_TRUE(file->CheckLater());
    THistoryRun run;
    run.Version = "test";
    run.StartWallMs = kNow;
    std::vector<std::string> log;
    std::atomic<int64_t> steady{0};
    THistoryWriter writer(std::move(file), {}, run,
                          [&](std::string_view l) { log.emplace_back(l); });
    writer.SteadyNow = [&] {
        return std::chrono::steady_clock::time_point{} + steady.load() * 1ms;
    };
    ASSERT_TRUE(writer.Start());
    writer.Push(Read(1, kNow));
    auto said = [&](const std::string& part) {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    for (int i = 0; i < 500 && !said("is damaged"); ++i) {
        steady += 1000;
        writer.Push(Read(1, kNow + i));
        std::this_thread::sleep_for(10ms);
        writer.Poll();
    }
    ASSERT_TRUE(said("starting a new one")) << (log.empty() ? "" : log.back());
    writer.Push(Read(2, kNow + 100'000));
    writer.Flush();
    writer.Stop();
    TSqlite db;
    ASSERT_TRUE(db.Open(path, false, true));
    EXPECT_EQ(db.QueryText("PRAGMA quick_check"), "ok");
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM sqlite_master WHERE name = 'filler'"), 0);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM reads WHERE sensor = "
                          "(SELECT id FROM sensors WHERE serno = 2)"),
              1);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM runs"), 1);
}

// A full disk pauses the recording with one line; a minute later it is tried again.
TEST(HistoryWriterTest, AFullDiskPausesTheRecordingUntilThereIsRoomAgain) {
    TRig rig;
    rig.Writer->Push(Read(1, kNow));
    rig.Writer->Flush();
    rig.Full = true;
    for (int i = 0; i < 3000; ++i)
        rig.Writer->Push(Read(2 + i, kNow + i));
    rig.Writer->Flush();
    ASSERT_TRUE(rig.WaitForLine("History database: database or disk is full; recording paused"));
    EXPECT_TRUE(rig.Writer->Paused());
    // Reads while paused are given up, not queued for ever.
    rig.Writer->Push(Read(9, kNow + 5000));
    rig.Writer->Flush();
    EXPECT_EQ(rig.Writer->NotRecorded(), 3001u);

    rig.Full = false;
    rig.Steady = 59'000;
    rig.Writer->Push(Read(9, kNow + 6000));
    rig.Writer->Flush();
    EXPECT_TRUE(rig.Writer->Paused());
    rig.Steady = 61'000;
    ASSERT_TRUE(rig.WaitForLine("History database recording again"));
    rig.Writer->Push(Read(10, kNow + 7000));
    rig.Writer->Flush();
    EXPECT_EQ(rig.Count("SELECT count(*) FROM reads"), 2);
    EXPECT_EQ(std::count(rig.Log.begin(), rig.Log.end(),
                         "History database: database or disk is full; recording paused"),
              1);
}

// A file removed under the running program would take every later read with it: the
// recording pauses, and the next try makes the file anew.
TEST(HistoryWriterTest, ARemovedFileIsMadeAnew) {
    TRig rig;
    rig.Writer->Push(Read(1, kNow));
    rig.Writer->Flush();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(rig.Path + suffix);
    rig.Steady = 2'000; // the file is looked for once a second
    ASSERT_TRUE(rig.WaitForLine("History database: the file was removed; recording paused"));
    rig.Steady = 63'000;
    ASSERT_TRUE(rig.WaitForLine("History database recording again"));
    rig.Writer->Push(Read(2, kNow + 1000));
    rig.Writer->Flush();
    EXPECT_EQ(rig.Count("SELECT count(*) FROM reads"), 1);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM runs"), 1);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM sensors"), 1);
}

// A writer that cannot keep up costs reads, never the intake's time: they are counted and said
// once when the queue has room again.
TEST(HistoryWriterTest, AFullQueueIsSaidOncePerEpisode) {
    TRig rig;
    rig.Stall = true;
    rig.Writer->Push(Read(1, kNow));
    while (rig.Stall.load()) // until the writer is inside its stalled batch
        std::this_thread::sleep_for(1ms);
    size_t refused = 0;
    for (size_t i = 0; i < THistoryWriter::QueueMax + 250; ++i)
        refused += rig.Writer->Push(Read(2, kNow + 1 + int64_t(i))) ? 0 : 1;
    EXPECT_EQ(refused, 250u);
    rig.Writer->Flush();
    rig.Writer->Poll();
    rig.Writer->Poll();
    EXPECT_EQ(std::count(rig.Log.begin(), rig.Log.end(),
                         "History database is behind: 250 reads not recorded"),
              1);
    EXPECT_EQ(rig.Count("SELECT count(*) FROM reads"), int64_t(THistoryWriter::QueueMax) + 1);
}

TEST(HistoryWriterTest, PrunesReadsPastKeepDaysAndBeyondMaxMB) {
    THistorySettings settings;
    settings.KeepDays = 2;
    settings.MaxMB = 1;
    TRig rig(settings);
    for (int i = 0; i < 2000; ++i)
        rig.Writer->Push(Read(5, kNow - 3 * 86'400'000 + i));
    for (int i = 0; i < 40000; ++i) {
        if (i % 10000 == 0)
            rig.Writer->Flush(); // more than the queue holds at once
        ASSERT_TRUE(rig.Writer->Push(Read(6 + i % 100, kNow + i)));
    }
    rig.Writer->Flush();
    ASSERT_TRUE(rig.WaitMoving([&] {
        return rig.Count("SELECT count(*) FROM reads WHERE sensor = 1") == 0 &&
               rig.Count("SELECT (page_count - freelist_count) * page_size FROM "
                         "pragma_page_count(), pragma_freelist_count(), pragma_page_size()") <=
                   1024 * 1024;
    }));
    // The newest are kept.
    EXPECT_EQ(rig.Count("SELECT max(wall_ms) FROM reads"), kNow + 39999);
}

} // namespace
} // namespace corvane
