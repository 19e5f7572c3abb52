#pragma once
// Points the container at a loopback content server for an integration test: URL sessions on
// real libcurl, and the settings that make the server address and the request parameters.
// Main thread, before the code under test sends anything.

#include "tests/support/TestContentServer.h"

#include <string>

namespace testsupport {

// Installs libcurl's URL session as the platform's.
void installCurlUrlSessions();

// Stores "serverprotocol" http://, "servername" 127.0.0.1:<port>, "serverpath" `path`,
// "serverfile" `file`, and "app" X, "date" D, "full" F for the request parameters.
void storeServerSettings(const TestContentServer& server, const std::string& path, const std::string& file);

} // namespace testsupport
