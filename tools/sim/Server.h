// The simulator's single-threaded loop: takes emissions from a source, paces them, writes them
// to every connected client, and listens for the monitor's poll message.
#pragma once

#include "Endpoint.h"
#include "LineSource.h"
#include "SimOptions.h"
#include "Summary.h"

#include <deque>
#include <memory>

namespace corvane::sim {

class Server {
public:
    Server(const SimOptions& o, std::unique_ptr<LineSource> source, Summary& summary);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens (or opens the pseudo-terminal); Describe() then names where.
    bool Open(std::string& error);
    const std::string& Describe() const { return FEndpoint.Description; }
    // Runs until the work is done, a stop condition holds or a signal arrives.
    void Run();
    double Elapsed() const;

private:
    struct Chunk {
        std::string Bytes;
        size_t Off = 0;
        double GapBefore = 0;
        double NotBefore = 0;
        LineKind Kind = LineKind::None; // counted when the chunk is done
        bool Split = false;
        bool CloseAfter = false;
    };
    struct Client {
        int Fd = -1;
        bool Pty = false;
        std::string Peer;
        double ConnectedAt = 0;
        std::deque<Chunk> Out;
        size_t Queued = 0;
        int64_t QueuedLines = 0;
        std::string In;
        double PauseUntil = 0; // a pty receiver 'restarting' sends nothing until then
        bool Gone = false;
    };

    bool Finished();
    void AdmitClients(double now);
    void Produce(double now);
    bool CountReached() const;
    bool Backlogged() const;
    double DueTime(const Emission& e, double now) const;
    void Enqueue(const Emission& e, double now);
    void StartFront(Client& c, double now);
    void Flush(Client& c, double now);
    bool Advance(Client& c, size_t written, double now);
    void Receive(Client& c, double now);
    void Drop(Client& c, bool bySimulator);
    void Sweep();
    int PollTimeoutMs(double now) const;
    void WaitForEvents(double now);

    SimOptions FOpt;
    std::unique_ptr<LineSource> FSource;
    Summary& FSummary;
    Endpoint FEndpoint;
    std::vector<std::unique_ptr<Client>> FClients;

    double FStartTime = 0;
    bool FStarted = false;  // the source's time line has begun (first client)
    double FClockStart = 0; // when the source's time 0 was
    double FRateNext = 0;
    double FWakeAt = -1;
    bool FHeldByBacklog = false;
    std::optional<Emission> FPending;
    bool FExhausted = false;
    bool FEverConnected = false;
    bool FClientLeft = false; // a connection has ended, from either side
};

// SIGINT and SIGTERM end Run() cleanly.
void InstallStopHandlers();

} // namespace corvane::sim
