// corvane-sim: a receiving station to run the monitor against, without radio hardware.
#include "Recorded.h"
#include "Server.h"
#include "SimSource.h"

#include <fstream>
#include <iostream>

using namespace corvane::sim;

namespace {

int BadArguments(const std::string& message) {
    std::cerr << "corvane-sim: " << message << "\nTry 'corvane-sim --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    ParseResult parsed = ParseArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.Ok)
        return BadArguments(parsed.Error);
    const SimOptions& o = parsed.Options;
    if (o.Help) {
        std::cout << UsageText();
        return 0;
    }

    std::unique_ptr<LineSource> source;
    ReplaySource* replay = nullptr;
    if (!o.ReplayFile.empty()) {
        auto r = std::make_unique<ReplaySource>(o.ReplayFile, o.CrLf);
        if (!r->IsOpen())
            return BadArguments("cannot read the packet log '" + o.ReplayFile + "'");
        replay = r.get();
        source = std::move(r);
    } else if (!o.ScriptFile.empty()) {
        std::ifstream in(o.ScriptFile, std::ios::binary);
        if (!in)
            return BadArguments("cannot read the script '" + o.ScriptFile + "'");
        std::string error;
        auto steps = ParseScript(in, o.CrLf, error);
        if (!steps)
            return BadArguments(o.ScriptFile + ", " + error);
        source = std::make_unique<ScriptSource>(std::move(*steps));
    } else {
        source = std::make_unique<SimSource>(o);
        std::cerr << "corvane-sim: " << o.Sensors << " sensors, " << o.Repeaters << " repeaters, "
                  << o.Entries << " entry points, seed " << o.Seed << "\n";
    }
    source = std::make_unique<TransportFaults>(std::move(source), o);

    InstallStopHandlers();
    Summary summary;
    Server server(o, std::move(source), summary);
    std::string error;
    if (!server.Open(error)) {
        std::cerr << "corvane-sim: " << error << "\n";
        return 1;
    }
    // First line on stdout, for scripts that start the simulator and then connect to it.
    std::cout << server.Describe() << std::endl;
    server.Run();
    if (replay)
        summary.NoteSkipped(replay->Skipped());
    summary.Print(std::cerr, server.Elapsed());
    return 0;
}
