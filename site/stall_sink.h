#pragma once

#include <functional>
#include <string>
#include <thread>

namespace lumora::site {

// Holds the site's port while the site stalls: accepts connections and reads what they send,
// but never answers. A connection whose client gives up is closed then; the others are closed,
// unanswered, when the sink stops. It runs on a thread of its own, so however many clients
// wait, no server worker waits with them. POSIX sockets.
class StallSink
{
public:
    struct Counts
    {
        int connections = 0; // accepted while the sink ran
        int dropped = 0;     // still waiting when it stopped, closed unanswered
    };
    // Called on the sink's thread with the first line of each request it holds
    // ("GET /path HTTP/1.1", at most 200 bytes).
    using OnRequest = std::function<void(const std::string& requestLine)>;

    StallSink() = default;
    ~StallSink(); // stops
    StallSink(const StallSink&) = delete;
    StallSink& operator=(const StallSink&) = delete;

    // Listens on host:port; false with `error` when it cannot. Connections queue from here on.
    bool listen(const std::string& host, int port, std::string& error);
    // Accepts and reads on its own thread.
    void start(OnRequest onRequest);
    // Closes the port and every connection it holds; returns what it saw. Safe to call twice.
    Counts stop();

private:
    void run();

    int m_listener = -1;
    int m_wake[2] = {-1, -1}; // a pipe: a byte written to it ends run()
    std::thread m_thread;
    OnRequest m_onRequest;
    Counts m_counts; // written by run(), read after it ended
};

// Shuts down (both directions) this process's TCP connections whose local port is `port`: the
// server side of connections to it. Their clients see them close. Returns how many.
int shutDownConnectionsTo(int port);

} // namespace lumora::site
