#pragma once

#include <string>

namespace registrator::web {

// Who may see the web view, as the command line sets it.
struct LoginOptions {
    std::string UsersFile;    // empty: the web view is open to anyone who reaches it
    bool OpenMetrics = false; // /metrics without a log-in, for a scraper on a trusted network
    bool AllowPlain = false;  // Basic log-in over plain HTTP too, where passwords cross the network readable
};

} // namespace registrator::web
