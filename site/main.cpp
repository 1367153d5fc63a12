// lumora-site: serves the stand-in training site until SIGINT or SIGTERM.

#include "site_server.h"
#include "text_codec.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage = R"(Usage: lumora-site [options]
Serves the stand-in training site (demo account: demo / demo123).

  --bind ADDR          address to listen on (default 127.0.0.1)
  --port N             port (default 18080; 0 picks a free port)
  --users FILE         extra accounts, one name:password a line
  --charset gbk|utf-8  page encoding (default gbk)
  --heartbeat-ms N     how often an open lesson player reports (default 10000)
  --help               show this text

The first line printed is "lumora-site listening on http://ADDR:PORT".
)";

bool parseInt(const std::string& text, int low, int high, int& out)
{
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used != text.size() || value < low || value > high) {
            return false;
        }
        out = static_cast<int>(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int usageError(const std::string& message)
{
    std::cerr << "lumora-site: " << message << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    lumora::site::SiteOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg != "--bind" && arg != "--port" && arg != "--users" && arg != "--charset" &&
            arg != "--heartbeat-ms") {
            return usageError("unknown option " + arg);
        }
        if (i + 1 >= argc) {
            return usageError(arg + " needs a value");
        }
        const std::string value = argv[++i];
        if (arg == "--bind") {
            options.bind = value;
        } else if (arg == "--port") {
            if (!parseInt(value, 0, 65535, options.port)) {
                return usageError("bad port " + value);
            }
        } else if (arg == "--users") {
            std::string error;
            if (!lumora::site::loadUsersFile(value, options.extraUsers, error)) {
                return usageError(error);
            }
        } else if (arg == "--charset") {
            if (!lumora::site::normalizeCharset(value)) {
                return usageError("bad charset " + value + " (use gbk or utf-8)");
            }
            options.charset = value;
        } else if (!parseInt(value, 50, 3600000, options.heartbeatMs)) {
            return usageError("bad heartbeat interval " + value + " (50..3600000 ms)");
        }
    }

    // Block the stop signals before any thread starts, so that every thread inherits the mask
    // and only sigwait() below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    lumora::site::SiteServer server(options);
    if (server.start() < 0) {
        std::cerr << "lumora-site: " << server.lastError() << "\n";
        return 1;
    }
    std::cout << "lumora-site listening on " << server.baseUrl() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    std::cerr << "lumora-site: stopped on signal " << received << "\n";
    return 0;
}
