#pragma once
// Whether the internet can be reached now, and over which kind of connection. Reads the
// installed platform's reachability flags on every call; flags that cannot be read, or no
// reachability installed, count as not connected. Safe from any thread.

enum class IJReachabilityType { wwan, wiFi, notConnected };

class IJReachability {
public:
    IJReachability() = delete;

    // True when the reachable flag is set and the connection-required flag is clear.
    static bool isConnectedToNetwork();
    // wwan for a connection over a cellular (metered) link, wiFi for any other connection,
    // notConnected otherwise.
    static IJReachabilityType isConnectedToNetworkOfType();
};
