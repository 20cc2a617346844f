#pragma once
// A listening TCP socket on 127.0.0.1 at a port the system picks, for the benchmarks' own servers,
// and writing a whole buffer to a connection.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

// The listening socket; its port in `port`. Ends the program when the system refuses one.
inline int listenOnLoopback(int* port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

// Sends every byte, retrying interrupted and short sends; false once the peer is gone.
inline bool sendAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

inline bool sendAll(int fd, const std::string& text) { return sendAll(fd, text.data(), text.size()); }
