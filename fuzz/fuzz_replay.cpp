// Arbitrary bytes as a packet log replayed by the simulator. Besides the sanitizers, it checks
// that every line the replay sends is the received-line column of a log line, with the line
// end, in file order; that its times never run backwards; and that every other line that is
// neither the header nor blank is counted as skipped.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "LineBuilder.h"
#include "Recorded.h"

using namespace corvane::sim;

namespace {

// One file per fuzzing process, on the memory file system when there is one.
const std::string& LogPath() {
    static const std::string path = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string p = base + "/corvane-fuzz-replay-" + std::to_string(getpid()) + ".LOG";
        atexit([] { unlink(LogPath().c_str()); });
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool crLf = size && (data[0] & 1);
    {
        std::ofstream out(LogPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    // What the replay should send, worked out line by line.
    std::vector<std::string> expected;
    int skipped = 0;
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string raw; std::getline(lines, raw);) {
        auto l = ParseLogLine(raw);
        std::string bare = raw;
        while (!bare.empty() && (bare.back() == '\r' || bare.back() == '\n'))
            bare.pop_back();
        if (l) {
            if (l->Time < 0 || l->Time > 100.0 * 366 * 86400 ||
                bare.compare(19, std::string::npos, l->Line) != 0)
                abort();
            expected.push_back(l->Line + LineEnd(crLf));
        } else if (!bare.empty() && bare != "\"Time\",\"Name\",\"Packet\"") {
            ++skipped;
        }
    }
    ReplaySource replay(LogPath(), crLf);
    if (!replay.IsOpen())
        abort();
    double last = 0;
    size_t n = 0;
    while (auto e = replay.Next()) {
        if (n >= expected.size() || e->At < last || e->Pieces.size() != 1 ||
            e->Pieces[0].Bytes != expected[n] || e->CloseAfter)
            abort();
        last = e->At;
        ++n;
    }
    if (n != expected.size() || replay.Skipped() != skipped)
        abort();
    return 0;
}
