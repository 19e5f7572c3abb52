#pragma once
// The composition root: builds the process-wide shared instances in one fixed order and adds
// them to the registry (base/SharedInstances.h) that their accessors read. main() builds them
// once, before the platform runs; the test programs build them afresh for every test and tear
// them down after it.
//
// A later subsystem adds its shared instance with one line in build(), after the instances it
// uses while it is built.
//
// Main thread only, while no other thread uses the shared instances.

#include <optional>
#include <string>

class CompositionRoot {
public:
    // What stopped the start-up, in words for the user.
    struct StartupError {
        std::string message;
    };

    // Builds every shared instance from the main bundle, in order. On failure none is left
    // built and the error says why (a missing or broken "DefaultPreferences.plist").
    static std::optional<StartupError> build();
    // Destroys every shared instance, the last built first, and forgets the default
    // notification centre. Before that, the work still under way ends (endBackgroundWork()) and
    // what it left for the main queue runs.
    static void tearDown();
    // Ends the work under way on other threads that reaches the shared instances: every URL
    // session task is cancelled, and those that complete off the main queue have run their
    // completions when this returns; false when some still ran after a generous time. main()
    // calls it once the application has quit, before exit() destroys what a reply still reads.
    static bool endBackgroundWork();
};
