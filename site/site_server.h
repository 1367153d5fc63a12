#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The stand-in training site: login, course page with frames, lesson lists, lesson player,
// housekeeping test pages and a record of what visitors did, served over HTTP.
namespace lumora::site {

struct SiteOptions
{
    std::string bind = "127.0.0.1";
    int port = 18080;            // 0 picks a free port
    std::string charset = "GBK"; // "GBK" or "utf-8" (any case; "utf8" too)
    int heartbeatMs = 10000;     // how often an open player reports; clamped to 50..3600000
    // Accounts besides demo/demo123 (name, password); a repeated name replaces the password.
    std::vector<std::pair<std::string, std::string>> extraUsers;
    // Monotonic milliseconds for study time and event stamps; empty = the steady clock.
    // Tests set it to control time.
    std::function<std::int64_t()> clockMs;
};

class SiteServer
{
public:
    explicit SiteServer(SiteOptions options);
    ~SiteServer(); // stops
    SiteServer(const SiteServer&) = delete;
    SiteServer& operator=(const SiteServer&) = delete;

    // Binds and serves on a background thread. Returns the bound port once connections are
    // accepted, or -1 (see lastError()). Calling it while running returns the current port.
    int start();
    // Stops serving and joins the thread; the record is kept. Safe to call more than once.
    void stop();

    int port() const;
    std::string baseUrl() const;    // "http://127.0.0.1:PORT"
    std::string eventsJson() const; // same as GET /_site/events
    void resetRecord();             // same as POST /_site/reset
    std::string lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Reads accounts from a file of "name:password" lines (UTF-8). Blank lines and lines starting
// with '#' are skipped; a password may contain ':'. Returns false with a message naming the
// line for a line without ':' or with an empty name, or when the file cannot be read.
bool loadUsersFile(const std::string& path, std::vector<std::pair<std::string, std::string>>& out,
                   std::string& error);

} // namespace lumora::site
