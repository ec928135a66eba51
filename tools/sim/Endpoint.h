// The two ways a receiver is reached: a TCP listening socket on the loopback address, or the
// master side of a pseudo-terminal that stands in for a serial port.
#pragma once

#include <string>

namespace corvane::sim {

struct Endpoint {
    int Fd = -1;
    std::string Description; // "tcp: 127.0.0.1:1070" or "pty: /dev/pts/5"
    std::string SlavePath;   // pty only
    int Port = 0;            // tcp only: the port actually bound
};

// Both return false with a message in error when the system refuses.
bool ListenTcp(int port, Endpoint& ep, std::string& error);
bool OpenPty(Endpoint& ep, std::string& error);

// A new connection, non-blocking, or -1 when none is waiting; peer gets "address:port".
int AcceptClient(int listenFd, std::string& peer);

// Whether a program has the pseudo-terminal's device open.
bool PtyHasReader(int masterFd);
// Throws away what was written for a reader that has gone, so the next one starts clean.
void DiscardPtyInput(const std::string& slavePath);

} // namespace corvane::sim
