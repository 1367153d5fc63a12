#include "stall_sink.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumora::site {

namespace {

// Beyond this many held connections the sink stops accepting: later ones wait in the listen
// queue (still unanswered) instead of using up the process's descriptors.
constexpr std::size_t kMaxHeld = 256;
constexpr std::size_t kMaxRequestLine = 200;

struct Held
{
    int fd = -1;
    std::string line; // the request's first line, until it is complete
    bool reported = false;
};

void closeConnection(int fd)
{
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
}

int portOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

} // namespace

StallSink::~StallSink()
{
    stop();
}

bool StallSink::listen(const std::string& host, int port, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int failed = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found)) {
        error = "cannot resolve " + host + ": " + ::gai_strerror(failed);
        return false;
    }
    int listener = -1;
    for (const addrinfo* a = found; a && listener < 0; a = a->ai_next) {
        listener =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (listener < 0) {
            continue;
        }
        // As the server's own socket: the port can be bound again right after either closes.
        const int yes = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(listener, a->ai_addr, a->ai_addrlen) != 0 || ::listen(listener, 128) != 0) {
            ::close(listener);
            listener = -1;
        }
    }
    ::freeaddrinfo(found);
    if (listener < 0) {
        error = "cannot hold " + host + ":" + service + " for the stall";
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(listener);
        error = "cannot create the stall's wake-up pipe";
        return false;
    }
    m_listener = listener;
    return true;
}

void StallSink::start(OnRequest onRequest)
{
    if (m_listener >= 0 && !m_thread.joinable()) {
        m_onRequest = std::move(onRequest);
        m_thread = std::thread([this] { run(); });
    }
}

StallSink::Counts StallSink::stop()
{
    if (m_thread.joinable()) {
        const char byte = 0;
        while (::write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    // Connections still queued for accept() are reset with the listening socket.
    for (int* fd : {&m_listener, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    return m_counts;
}

void StallSink::run()
{
    std::vector<Held> held;
    std::vector<pollfd> polled;
    char buffer[4096];
    for (;;) {
        polled.clear();
        polled.push_back({m_wake[0], POLLIN, 0});
        if (held.size() < kMaxHeld) {
            polled.push_back({m_listener, POLLIN, 0});
        }
        const std::size_t first = polled.size();
        for (const Held& h : held) {
            polled.push_back({h.fd, POLLIN, 0});
        }
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (polled[0].revents) {
            break;
        }
        // Read what each client sent; one that closed its end has given up.
        std::vector<Held> kept;
        for (std::size_t i = 0; i < held.size(); ++i) {
            Held& h = held[i];
            if (!polled[first + i].revents) {
                kept.push_back(std::move(h));
                continue;
            }
            const ssize_t n = ::recv(h.fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                ::close(h.fd);
                continue;
            }
            if (n > 0 && !h.reported) {
                const std::string_view got(buffer, static_cast<std::size_t>(n));
                const std::size_t end = got.find_first_of("\r\n");
                h.line.append(got.substr(0, std::min(end, kMaxRequestLine - h.line.size())));
                if (end != std::string_view::npos || h.line.size() >= kMaxRequestLine) {
                    h.reported = true;
                    if (m_onRequest) {
                        m_onRequest(h.line);
                    }
                }
            }
            kept.push_back(std::move(h));
        }
        held = std::move(kept);
        if (first == 2 && polled[1].revents) {
            while (held.size() < kMaxHeld) {
                const int fd =
                    ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    break; // EAGAIN: none left; anything else: try again at the next wake-up
                }
                held.push_back({fd, {}, false});
                ++m_counts.connections;
            }
        }
    }
    m_counts.dropped = static_cast<int>(held.size());
    for (const Held& h : held) {
        closeConnection(h.fd);
    }
}

int shutDownConnectionsTo(int port)
{
    // The process's descriptors: /proc/self/fd on Linux, /dev/fd elsewhere.
    std::error_code failed;
    std::filesystem::directory_iterator entries("/proc/self/fd", failed);
    if (failed) {
        entries = std::filesystem::directory_iterator("/dev/fd", failed);
    }
    std::vector<int> fds;
    for (; !failed && entries != std::filesystem::directory_iterator(); entries.increment(failed)) {
        const std::string name = entries->path().filename().string();
        int fd = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec == std::errc()) {
            fds.push_back(fd);
        }
    }
    int count = 0;
    for (const int fd : fds) {
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        // A listening socket has no peer; a client's socket has another local port.
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
            portOf(local) == port &&
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 &&
            ::shutdown(fd, SHUT_RDWR) == 0) {
            ++count;
        }
    }
    return count;
}

} // namespace lumora::site
