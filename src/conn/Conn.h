// A connection to a receiving station: collects received characters, cuts them into lines at
// carriage returns and hands each line to its owner; the transports only open, close and append.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "conn/Backoff.h"
#include "conn/LinkStats.h"

namespace corvane {

enum class TConnState : uint8_t { Open = 0, Close = 1, Error = 2 };
std::string_view ConnStateName(TConnState state); // "Open", "Close", "Error"

// The connection's entry in the main window's Close submenu, seen from the connection.
class TCloseItem {
public:
    virtual ~TCloseItem() = default;
    virtual int Position() const = 0; // 0 for the submenu's first entry
};

class TConn {
public:
    // Enough for any line the decoder can accept, and a bound for a receiver that never sends a
    // carriage return.
    static constexpr size_t RxKeep = 1024;
    // The shortest segment delivered as a line.
    static constexpr size_t MinLine = 28;

    TConn();
    virtual ~TConn() = default;
    TConn(const TConn&) = delete;
    TConn& operator=(const TConn&) = delete;

    TCloseItem* CloseItem = nullptr;
    std::function<bool(TConn&, std::string_view)> OnLine;
    std::function<void(TConn&, TConnState)> OnStateChange;
    std::function<void(std::string_view)> OnMessage;
    std::string RxBuffer;
    // Tries again after a refusal, a drop or a device going away, waiting longer each time, until
    // the connection is closed; the waits start over once it has stayed up for a minute.
    bool Reconnect = false;
    TBackoff Retry;
    // The service's log says when the link comes up and why it went, and names it by its address
    // and port (or port and device) when it reconnects; the window shows the link through its
    // Close entry and caption and names it by its description.
    bool ReportsLink = false;
    // What became of the lines received since the connection opened; the counts start over when
    // it closes. Clock gives their time for the last minute's figures (none: totals only) and
    // how long a connection lasted (none: the machine's steady clock).
    TLinkStats Link;
    const TClock* Clock = nullptr;

    virtual std::string GetDescription() const = 0;
    // The link as the service's log names it: "<address>:<port>", "serial port <n> (<device>)".
    virtual std::string GetLinkName() const { return GetDescription(); }
    // What the Connections window shows of the far end beyond the figures ("online" for a
    // station read from a broker); empty for a link that is simply open.
    virtual std::string GetLinkState() const { return {}; }
    // The lines came through a broker from another run, which published them already: they
    // are never published again.
    bool Relayed = false;
    virtual bool Open() = 0;
    virtual void Close() = 0;

    // What a transport does with every reception: append and cut out the complete lines.
    void Receive(std::string_view data);
    void ExtractLines();
    bool DeliverLine(std::string_view line);
    void SetState(TConnState state);
    void ReportMessage(std::string_view text);
    // A message of the service's log alone (ReportsLink on).
    void ReportLink(std::string_view text);
    // Counts a line: the base counts the short ones, the line's owner what it made of the rest.
    void CountLine(TLineFate fate);
    // What a transport does once connected (or its port opened): the waits may start over.
    void NoteConnected();
    // Writes "Reconnecting to <description> in <n> s" (the link's name with ReportsLink on) and
    // returns the wait in seconds.
    int AnnounceRetry();

private:
    double RunSeconds() const;
};

} // namespace corvane
