#include "conn/Conn.h"

#include <chrono>

namespace corvane {

std::string_view ConnStateName(TConnState state) {
    switch (state) {
    case TConnState::Open:
        return "Open";
    case TConnState::Close:
        return "Close";
    case TConnState::Error:
        return "Error";
    }
    return "";
}

TConn::TConn() = default;

void TConn::Receive(std::string_view data) {
    RxBuffer.append(data);
    ExtractLines();
}

void TConn::ExtractLines() {
    // Cut out every segment ended by a carriage return; a segment too short to hold a packet is
    // noise (or the empty piece between CR CR) and goes without a word. A line feed is no line
    // end: with CR LF it simply leads the next line, which the decoder copes with.
    size_t start = 0;
    for (;;) {
        const size_t cr = RxBuffer.find('\r', start);
        if (cr == std::string::npos)
            break;
        if (cr - start >= MinLine)
            DeliverLine(std::string_view(RxBuffer).substr(start, cr - start));
        else if (cr > start) // the empty piece between CR CR is no line
            CountLine(TLineFate::Short);
        start = cr + 1;
    }
    RxBuffer.erase(0, start);
    // A receiver that never ends a line must not grow the buffer without bound, but whatever is
    // kept has to hold any line the decoder accepts, or a line arriving a few bytes at a time
    // would lose its beginning.
    if (RxBuffer.size() > RxKeep) {
        Link.Drop(RxBuffer.size() - RxKeep);
        RxBuffer.erase(0, RxBuffer.size() - RxKeep);
    }
}

bool TConn::DeliverLine(std::string_view line) {
    if (!OnLine)
        return false;
    return OnLine(*this, line);
}

void TConn::SetState(TConnState state) {
    if (state == TConnState::Open)
        RxBuffer.clear();
    if (state == TConnState::Close)
        Link.Reset();
    if (OnStateChange)
        OnStateChange(*this, state);
}

void TConn::ReportMessage(std::string_view text) {
    if (OnMessage)
        OnMessage(text);
}

void TConn::ReportLink(std::string_view text) {
    if (ReportsLink)
        ReportMessage(text);
}

void TConn::CountLine(TLineFate fate) {
    Link.Count(fate, Clock != nullptr ? Clock->Now() : 0.0);
}

double TConn::RunSeconds() const {
    if (Clock != nullptr)
        return Clock->Now() * 86400.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TConn::NoteConnected() {
    Retry.Connected(RunSeconds());
}

int TConn::AnnounceRetry() {
    const int wait = Retry.Next(RunSeconds());
    const std::string name = ReportsLink ? GetLinkName() : GetDescription();
    ReportMessage("Reconnecting to " + name + " in " + std::to_string(wait) + " s");
    return wait;
}

} // namespace corvane
