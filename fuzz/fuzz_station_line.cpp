// Arbitrary bytes as a station's line message, and as a topic under the stations' root. Besides
// the sanitizers it checks that a message taken is bounded, and that the line written again as
// the publisher writes it reads back the same; a topic taken names a station the table holds;
// and, as the bytes a broker sent, that the PUBLISH packets split from them lie inside them,
// one after another from the first byte.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "mqtt/PublishRun.h"
#include "mqtt/StationLine.h"
#include "mqtt/StationTable.h"
#include "util/JsonText.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view payload(reinterpret_cast<const char*>(data), size);
    TStationLine out;
    if (ParseStationLine(payload, out) == TMessageFault::None) {
        if (out.Line.size() > kMaxStationLine)
            abort();
        TJsonText j;
        j.Begin().Field("conn", out.Conn).Field("line", out.Line);
        TStationLine again;
        if (ParseStationLine(j.End(), again) != TMessageFault::None || again.Line != out.Line ||
            again.Conn != out.Conn)
            abort();
    }
    static TStationTable table("corvane");
    const TStationTable::TTopic t = table.Classify(payload);
    if (t.Fault == TTopicFault::None &&
        (t.Station < 0 || size_t(t.Station) >= table.Names().size() ||
         table.Names().size() > TStationTable::MaxStations))
        abort();
    static std::vector<TPublished> run;
    run.clear();
    const size_t taken = SplitPublishes(payload, 4096, 1000, run);
    const char* next = payload.data();
    for (const TPublished& p : run) {
        if (p.Topic.empty() || p.Topic.data() < next + 3 || p.Payload.data() != p.Topic.end() ||
            p.Payload.end() > payload.data() + taken)
            abort();
        next = p.Payload.end();
    }
    if (taken > size || next != payload.data() + taken)
        abort();
    return 0;
}
