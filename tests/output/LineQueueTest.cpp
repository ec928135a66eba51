// The queue of log lines on a real pipe: a reader who keeps up gets every line in order, one who
// stops costs the caller nothing but dropped and counted lines, and the end never waits on it.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "output/LineQueue.h"

using namespace corvane;

namespace {

using std::chrono::milliseconds;

struct TPipe {
    int Read = -1;
    int Write = -1;
    TPipe() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        Read = fds[0];
        Write = fds[1];
        // The smallest pipe there is: it fills after a few dozen lines.
        ::fcntl(Write, F_SETPIPE_SZ, 4096);
    }
    ~TPipe() {
        ::close(Read);
        ::close(Write);
    }
    // Fills the pipe with lines of its own, so that the next write blocks.
    void Fill() const {
        const int flags = ::fcntl(Write, F_GETFL);
        ::fcntl(Write, F_SETFL, flags | O_NONBLOCK);
        while (::write(Write, "filler\n", 7) == 7) {
        }
        ::fcntl(Write, F_SETFL, flags);
    }
    // Whatever arrives until nothing has come for quietMs.
    std::string ReadUntilQuiet(int quietMs = 500) const {
        std::string text;
        char buffer[4096];
        pollfd p{Read, POLLIN, 0};
        while (::poll(&p, 1, quietMs) > 0) {
            const ssize_t n = ::read(Read, buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, size_t(n));
        }
        return text;
    }
};

std::string Stamp(std::string_view message) {
    return "T " + std::string(message);
}

// A message of about a hundred characters that says which it was.
std::string Message(int i) {
    return "line " + std::to_string(i) + ' ' + std::string(90, 'x');
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "an unfinished line";
    return lines;
}

// What came out of a pipe: the numbers of the messages in the order written, the counts that the
// dropped-lines lines told, and whether such a line came last. Messages come in order, and a
// message after a gap comes after lines that told exactly how many went in it.
struct TOutput {
    std::vector<int> Messages;
    uint64_t Told = 0;
    size_t Notices = 0;
    bool EndsWithNotice = false;
};

bool IsNotice(const std::string& line) {
    const std::string end = " log lines dropped: standard output is not being read";
    return line.rfind("T ", 0) == 0 && line.size() > end.size() &&
           line.compare(line.size() - end.size(), end.size(), end) == 0;
}

TOutput Parse(const std::string& text) {
    TOutput out;
    int next = 0;
    uint64_t toldSinceMessage = 0;
    for (const std::string& line : SplitLines(text)) {
        if (line == "filler")
            continue;
        out.EndsWithNotice = IsNotice(line);
        if (out.EndsWithNotice) {
            toldSinceMessage += std::stoull(line.substr(2));
            ++out.Notices;
            continue;
        }
        const int i = std::stoi(line.substr(7));
        EXPECT_EQ(line, "T " + Message(i));
        EXPECT_EQ(uint64_t(i - next), toldSinceMessage) << "before " << line;
        out.Told += toldSinceMessage;
        toldSinceMessage = 0;
        out.Messages.push_back(i);
        next = i + 1;
    }
    out.Told += toldSinceMessage;
    return out;
}

// 0, 1, ... n - 1.
std::vector<int> Numbers(int n) {
    std::vector<int> numbers;
    for (int i = 0; i < n; ++i)
        numbers.push_back(i);
    return numbers;
}

} // namespace

TEST(LineQueue, AReaderWhoKeepsUpGetsEveryLineStampedAndInOrder) {
    TPipe pipe;
    {
        TLineQueue queue(pipe.Write, 4, Stamp);
        std::thread pusher([&] {
            for (int i = 0; i < 200; ++i)
                queue.Push(Message(i));
        });
        const std::string text = pipe.ReadUntilQuiet();
        pusher.join();
        // Pushed faster than a small pipe takes them, some may go: each is then counted, and
        // what comes through is whole and in order.
        const TOutput out = Parse(text);
        EXPECT_TRUE(std::is_sorted(out.Messages.begin(), out.Messages.end()));
        EXPECT_EQ(std::adjacent_find(out.Messages.begin(), out.Messages.end()), out.Messages.end());
        EXPECT_EQ(out.Told, queue.Dropped());
        EXPECT_EQ(out.Messages.size() + out.Told, 200u);
        EXPECT_EQ(out.Notices > 0, out.Told > 0);
    }
    // With a pipe that takes everything, nothing goes.
    TPipe roomy;
    ::fcntl(roomy.Write, F_SETPIPE_SZ, 1 << 20);
    TLineQueue queue(roomy.Write, 1000, Stamp);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(queue.Push(Message(i)));
    queue.Stop(milliseconds(10000));
    const TOutput out = Parse(roomy.ReadUntilQuiet(100));
    EXPECT_EQ(out.Messages, Numbers(100));
    EXPECT_EQ(out.Notices, 0u);
    EXPECT_EQ(queue.Dropped(), 0u);
}

TEST(LineQueue, AReaderWhoStopsCostsDroppedLinesThatAreCountedOnceItReadsAgain) {
    TPipe pipe;
    TLineQueue queue(pipe.Write, 8, Stamp);
    // Nobody reads a full pipe: the queue fills, and every push still returns at once.
    pipe.Fill();
    int refused = 0;
    for (int i = 0; i < 300; ++i)
        refused += queue.Push(Message(i)) ? 0 : 1;
    EXPECT_GE(refused, 300 - 2 * 8);
    EXPECT_EQ(queue.Dropped(), uint64_t(refused));

    // Read again: what waited comes out, and after it how many went; then what follows.
    std::string text = pipe.ReadUntilQuiet();
    const TOutput before = Parse(text);
    EXPECT_EQ(before.Messages.size(), size_t(300 - refused));
    EXPECT_EQ(before.Told, uint64_t(refused));
    EXPECT_TRUE(before.EndsWithNotice);
    ASSERT_TRUE(queue.Push(Message(300)));
    text += pipe.ReadUntilQuiet();
    const TOutput after = Parse(text);
    ASSERT_FALSE(after.Messages.empty());
    EXPECT_EQ(after.Messages.back(), 300);
    EXPECT_FALSE(after.EndsWithNotice);
}

TEST(LineQueue, StopLeavesAWriterThatTheDescriptorHoldsUp) {
    // The pipe is drained at the end and then closed under a writer that may still be at it.
    std::signal(SIGPIPE, SIG_IGN);
    TPipe pipe;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> stopped{false};
    std::atomic<int> writerStampsAfterStop{0};
    auto queue = std::make_unique<TLineQueue>(pipe.Write, 8, [&](std::string_view message) {
        if (stopped && std::this_thread::get_id() != caller)
            ++writerStampsAfterStop;
        return Stamp(message);
    });
    pipe.Fill();
    for (int i = 0; i < 300; ++i)
        queue->Push(Message(i));
    const uint64_t accepted = 300 - queue->Dropped();

    // Bounded by its grace, not by the reader.
    auto stopping = std::async(std::launch::async, [&] { queue->Stop(milliseconds(50)); });
    ASSERT_EQ(stopping.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    stopped = true;
    EXPECT_FALSE(queue->Push("after the end"));
    queue.reset();

    // The writer left behind finishes the write it was in and does nothing more: the lines
    // dropped since are not told of, and nothing comes after the end.
    const TOutput out = Parse(pipe.ReadUntilQuiet());
    EXPECT_FALSE(out.EndsWithNotice);
    EXPECT_LE(out.Messages.size(), accepted);
    EXPECT_EQ(writerStampsAfterStop, 0);
}
