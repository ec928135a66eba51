// Any byte string handed to the decoder, and whatever registration then makes of it, must leave
// the store consistent: no crash, no read outside a buffer, no exception.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/Monitor.h"
#include "conn/Conn.h"

namespace {

using namespace corvane;

class FuzzCloseItem : public TCloseItem {
public:
    int Position() const override { return position; }
    int position = 0;
};

class FuzzConn : public TConn {
public:
    std::string GetDescription() const override { return "TCP/IP: 127.0.0.1|1070"; }
    bool Open() override { return true; }
    void Close() override {}
};

struct World {
    TManualClock clock;
    TNullListener views;
    TMonitor monitor{clock, views};
    FuzzConn conn;
    FuzzCloseItem item;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* world = new World(); // the store lives across inputs, as in the program
    if (size == 0)
        return 0;
    // The first byte steers: clock steps, expiry, clears and the connection's Close entry.
    const uint8_t steer = data[0];
    world->clock.AdvanceSeconds(steer & 0x0F);
    world->item.position = steer >> 6;
    world->conn.CloseItem = (steer & 0x10) ? &world->item : nullptr;
    if ((steer & 0xE0) == 0xE0)
        world->monitor.ExpireTick();
    if (steer == 0xFF && size > 1 && data[1] == 0xFF)
        world->monitor.ClearAll();
    // The rest is cut at carriage returns into lines, as a connection would.
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!rest.empty()) {
        const size_t cr = rest.find('\r');
        world->monitor.ParsePacketLine(&world->conn, rest.substr(0, cr));
        if (cr == std::string_view::npos)
            break;
        rest.remove_prefix(cr + 1);
    }
    const TStore& s = world->monitor.Store();
    if (s.ReadCount < 0 || s.ReadCount > MaxReads || s.SerNoTree.Count != s.SensorCount)
        __builtin_trap();
    return 0;
}
