// Any bytes as the window's state file: written to a file, then through the check, QSettings'
// read and the values the window takes back, as a start-up does. Besides the sanitizers, it
// checks that a file over the size bound is never read and that every value handed to the list
// names one of its columns.
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "app/StateFile.h"
#include "app/qt/WindowStateFile.h"
#include "store/ListSort.h"

using namespace corvane;

namespace {

const std::string& StatePath() {
    static const std::string path = [] {
        char folder[] = "/tmp/corvane-fuzz-state-XXXXXX";
        if (::mkdtemp(folder) == nullptr)
            abort();
        return std::string(folder) + "/window.ini";
    }();
    return path;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        abort();
    std::fclose(f);
}

bool IsColumn(const std::optional<int>& c) {
    return !c || (*c >= 0 && *c < ListColumnCount);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = StatePath();
    Write(path, data, size);
    const std::optional<TSavedWindowState> saved = ReadWindowStateFile(path);
    if (size > kMaxStateFileBytes && saved)
        abort();
    if (saved &&
        (saved->KnownColumns < 0 || !IsColumn(saved->SortColumn) || !IsColumn(saved->TieColumn)))
        abort();
    // A save replaces exactly what may not be read.
    if (!ClearWayForStateFile(path) ||
        (::access(path.c_str(), F_OK) == 0) != (size <= kMaxStateFileBytes))
        abort();
    return 0;
}
