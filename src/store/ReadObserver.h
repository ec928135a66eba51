// Who hears of every read the monitor registers, besides the store and the views: the publishing
// to a message broker. Called on the intake's own thread, after the read is in the store.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/untTime.h"

namespace corvane {

struct TDecodedPacket;
class TStore;

struct TRegisteredRead {
    const TDecodedPacket& Packet;
    TDateTime Wall; // the wall clock's instant of the read
    TDateTime Time; // the read's moment on the run's time line
    uint16_t Row;   // the sensor's row in the store
    uint8_t Entry;  // store index, or 255 without an entry point
    uint8_t Repeat; // store index, or 255 when heard directly
    bool Duplicate; // counted as a duplicate of the sensor's read before it
};

// Who hears of every line a connection's framing delivers, before any check: the publishing of a
// station's lines. connName is the link as the service's log names it.
class TLineObserver {
public:
    virtual ~TLineObserver() = default;
    virtual void OnLine(std::string_view connName, std::string_view line, TDateTime wall) = 0;
};

class TReadObserver {
public:
    virtual ~TReadObserver() = default;
    virtual void OnRead(const TStore& store, const TRegisteredRead& read) = 0;
};

} // namespace corvane
