#pragma once
// Whether the processes that run pages go into WebKit's sandbox (bubblewrap). The environment
// variable WEBCONTAINER_WEB_SANDBOX=0 forces it off and =1 forces it on; otherwise it is on
// where bubblewrap can start a sandbox here (some containers refuse the namespaces it needs).
// The answer is found out once per process and logged once when the sandbox stays off.
// Safe from any thread.

namespace platform::gtk {

class WebProcessSandbox {
public:
    static bool enabled();
    // Starts a trivial program in a bubblewrap sandbox like WebKit's and reports whether it ran.
    static bool canRun();
};

} // namespace platform::gtk
