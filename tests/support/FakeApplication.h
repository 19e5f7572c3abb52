#pragma once
// An application without a loop: run() returns at once and the test plays the desktop's part
// (the launch, opening URLs, focus and minimizing, the end).

#include "platform/Application.h"

namespace testsupport {

class FakeApplication final : public platform::Application {
public:
    using Application::launch;
    using Application::openURL;
    using Application::terminate;
    using Application::windowStateChanged;

protected:
    int runImpl(int, char**) override { return 0; }
};

} // namespace testsupport
