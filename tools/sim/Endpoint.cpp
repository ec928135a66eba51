#include "Endpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace corvane::sim {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Raw mode, so the carriage returns reach the reader unchanged, at the receiver's 19200 baud.
bool MakeRaw(const std::string& slavePath, std::string& error) {
    int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        error = SystemError("cannot open " + slavePath);
        return false;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    bool ok = tcsetattr(fd, TCSANOW, &t) == 0;
    if (!ok)
        error = SystemError("cannot set up " + slavePath);
    // Closing it again leaves the pseudo-terminal hung up, which is how a missing reader shows.
    close(fd);
    return ok;
}

} // namespace

bool ListenTcp(int port, Endpoint& ep, std::string& error) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = SystemError("socket");
        return false;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || listen(fd, 8) < 0) {
        error = SystemError("cannot listen on 127.0.0.1:" + std::to_string(port));
        close(fd);
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ep.Fd = fd;
    ep.Port = ntohs(addr.sin_port);
    ep.Description = "tcp: 127.0.0.1:" + std::to_string(ep.Port);
    return true;
}

bool OpenPty(Endpoint& ep, std::string& error) {
    int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || grantpt(fd) < 0 || unlockpt(fd) < 0) {
        error = SystemError("cannot create a pseudo-terminal");
        if (fd >= 0)
            close(fd);
        return false;
    }
    const char* name = ptsname(fd);
    if (!name) {
        error = SystemError("ptsname");
        close(fd);
        return false;
    }
    ep.SlavePath = name;
    if (!MakeRaw(ep.SlavePath, error)) {
        close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    ep.Fd = fd;
    ep.Description = "pty: " + ep.SlavePath;
    return true;
}

int AcceptClient(int listenFd, std::string& peer) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    int fd =
        accept4(listenFd, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    peer = std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
    return fd;
}

bool PtyHasReader(int masterFd) {
    pollfd p{masterFd, 0, 0};
    return poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void DiscardPtyInput(const std::string& slavePath) {
    int fd = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return;
    tcflush(fd, TCIFLUSH);
    close(fd);
}

} // namespace corvane::sim
