// The floor of the round-trip benchmarks: the least a line server can do. TCP: one thread per
// connection, blocking receive, every complete line sent straight back. UDP: every datagram
// sent straight back. Usage: bench-echo TCP_PORT UDP_PORT (both on 127.0.0.1); runs until
// killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int Bound(int type, int port) {
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("bench-echo: bind");
        std::exit(1);
    }
    return fd;
}

void EchoLines(int fd) {
    char buffer[8192];
    size_t fill = 0;
    for (;;) {
        ssize_t n = recv(fd, buffer + fill, sizeof buffer - fill, 0);
        if (n <= 0) break;
        fill += static_cast<size_t>(n);
        // Everything up to the last line feed goes back; an unfinished line waits.
        char* lf = static_cast<char*>(memrchr(buffer, '\n', fill));
        if (lf == nullptr) {
            if (fill == sizeof buffer) break;
            continue;
        }
        size_t done = static_cast<size_t>(lf - buffer) + 1;
        if (send(fd, buffer, done, MSG_NOSIGNAL) != static_cast<ssize_t>(done)) break;
        std::memmove(buffer, buffer + done, fill - done);
        fill -= done;
    }
    close(fd);
}

void EchoDatagrams(int fd) {
    char buffer[9000];
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) continue;
        sendto(fd, buffer, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-echo TCP_PORT UDP_PORT\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    int listener = Bound(SOCK_STREAM, std::atoi(argv[1]));
    int udp = Bound(SOCK_DGRAM, std::atoi(argv[2]));
    if (listen(listener, 128) != 0) {
        std::perror("bench-echo: listen");
        return 1;
    }
    std::thread(EchoDatagrams, udp).detach();
    for (;;) {
        int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) std::thread(EchoLines, fd).detach();
    }
}
