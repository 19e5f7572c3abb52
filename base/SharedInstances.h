#pragma once
// Process-wide shared values that belong to no class of their own. The shared instances of
// the services are declared with their classes (sharedConfig() in Config.h, …).
// Safe from any thread: each value is made once on first use, also when two threads ask at
// once, and lives as long as the process.

#include "platform/NotificationCenter.h"

#include <string>

// The main bundle's identifier; it names the application's folders and the download-finished
// notification.
const std::string& bundleID();

// The process's default notification centre.
platform::NotificationCenter& sharedNotificationCenter();
