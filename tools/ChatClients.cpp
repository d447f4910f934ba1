#include "ChatClients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

qint64 RealNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int ConnectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

bool TBenchClients::Connect(int port, int count) {
    for (int i = 0; i < count; ++i) {
        clients_.push_back(TClient{});
        clients_.back().fd = ConnectTo(port);
        if (clients_.back().fd < 0 || !server_.Register(*this, clients_.back(), i)) return false;
    }
    for (int i = 0; i < 50; ++i)
        Pump(std::chrono::milliseconds(2));
    keepMessages_ = false;
    for (TClient& c : clients_)
        c.messages.clear();
    return true;
}

void TBenchClients::Close() {
    for (TClient& c : clients_)
        close(c.fd);
    clients_.clear();
    keepMessages_ = true;
}

void TBenchClients::ResetCounts() {
    for (TClient& c : clients_) {
        c.lastLine = -1;
        c.lines = 0;
        c.inOrder = true;
    }
}

// One message a client received, completed by a segment stamped at stampNs.
void TBenchClients::Message(TClient& c, const std::string& m, qint64 stampNs) {
    const long line = server_.LineNumber(m);
    if (line < 0) {
        server_.Answer(*this, c, m);
        if (keepMessages_) c.messages.push_back(m);
        return;
    }
    if (line != c.lastLine + 1) c.inOrder = false;
    c.lastLine = line;
    ++c.lines;
    if (!times_ || size_t(line) >= times_->arrivals.size()) return;
    ++times_->arrivals[size_t(line)];
    times_->lastNs[size_t(line)] = std::max(times_->lastNs[size_t(line)], stampNs);
    times_->deliveries.push_back((stampNs - times_->sentNs[size_t(line)]) / 1e6);
}

// Reads what the socket holds, cutting messages after every read with that
// read's kernel stamp.
void TBenchClients::ReadAll(TClient& c) {
    char buffer[65536];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    for (;;) {
        iovec v{buffer, sizeof buffer};
        msghdr h{};
        h.msg_iov = &v;
        h.msg_iovlen = 1;
        h.msg_control = control;
        h.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(c.fd, &h, 0);
        if (n <= 0) return;
        qint64 stamp = 0;
        for (cmsghdr* m = CMSG_FIRSTHDR(&h); m; m = CMSG_NXTHDR(&h, m))
            if (m->cmsg_level == SOL_SOCKET && m->cmsg_type == SCM_TIMESTAMPNS) {
                timespec t{};
                std::memcpy(&t, CMSG_DATA(m), sizeof t);
                stamp = qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
            }
        if (stamp == 0) stamp = RealNs();
        c.in.append(buffer, size_t(n));
        const char end = server_.MessageEnd();
        size_t start = 0;
        for (size_t e; (e = c.in.find(end, start)) != std::string::npos; start = e + 1) {
            size_t length = e - start;
            if (end == '\n' && length > 0 && c.in[e - 1] == '\r') --length;
            Message(c, c.in.substr(start, length), stamp);
        }
        c.in.erase(0, start);
    }
}

void TBenchClients::Flush(TClient& c) {
    if (c.out.empty()) return;
    const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n > 0) c.out.erase(0, size_t(n));
}

void TBenchClients::Pump(Clock::duration timeout) {
    std::vector<pollfd> fds(clients_.size());
    for (size_t i = 0; i < clients_.size(); ++i)
        fds[i] = {clients_[i].fd, short(POLLIN | (clients_[i].out.empty() ? 0 : POLLOUT)), 0};
    const auto ns =
        std::max<qint64>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count());
    const timespec wait{time_t(ns / 1000000000), long(ns % 1000000000)};
    if (ppoll(fds.data(), fds.size(), &wait, nullptr) <= 0) return;
    for (size_t i = 0; i < clients_.size(); ++i) {
        if (fds[i].revents & POLLOUT) Flush(clients_[i]);
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadAll(clients_[i]);
    }
}

void TBenchClients::Send(TClient& c, const std::string& bytes) {
    c.out += bytes;
    Flush(c);
}

bool TBenchClients::WaitFor(TClient& c, const std::string& what, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        for (const std::string& m : c.messages)
            if (m.find(what) != std::string::npos) return true;
        Pump(std::chrono::milliseconds(10));
    }
    return false;
}
