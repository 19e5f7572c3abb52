#include "services/RequestReview.h"

#include "base/SharedInstances.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/URLOpener.h"

void RequestReview::requestReview()
{
    const auto& platform = platform::current();
    if (!platform.application || platform.application->applicationState() != platform::Application::State::active)
        return;
    const std::string url = "appstream://" + bundleID();
    if (platform.urlOpener && platform.urlOpener->canOpen(url))
        platform.urlOpener->open(url);
}
