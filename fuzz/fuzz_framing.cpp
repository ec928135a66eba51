// Received bytes in any chunking: every line delivered is a complete segment of at least 28
// characters, and the buffer never holds more than its bound between receptions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "conn/Conn.h"

namespace {

class FuzzConn : public corvane::TConn {
public:
    std::string GetDescription() const override { return "Serial: 1"; }
    bool Open() override { return true; }
    void Close() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzConn conn;
    conn.OnLine = [](corvane::TConn&, std::string_view line) {
        if (line.size() < corvane::TConn::MinLine || line.find('\r') != std::string_view::npos)
            __builtin_trap();
        return true;
    };
    // A length byte (1 to 16) before each chunk of received data.
    size_t i = 0;
    while (i < size) {
        const size_t chunk = (data[i] % 16) + 1;
        ++i;
        const size_t n = chunk < size - i ? chunk : size - i;
        conn.Receive(std::string_view(reinterpret_cast<const char*>(data + i), n));
        if (conn.RxBuffer.size() > corvane::TConn::RxKeep)
            __builtin_trap();
        i += n;
    }
    return 0;
}
