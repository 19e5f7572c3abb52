#include "app/MainStoryboard.h"

#include "app/SplashViewController.h"
#include "platform/Window.h"
#include "portable/Check.h"
#include "webcontainer/ViewController.h"

std::shared_ptr<platform::Screen> instantiateInitialScreen()
{
    return std::make_shared<SplashViewController>();
}

std::shared_ptr<platform::Screen> instantiateWebScreen()
{
    return std::make_shared<ViewController>();
}

void performSegue(const std::string& identifier, platform::Screen& sender, ViewController::PreparedWebView prepared)
{
    if (identifier != "showApp")
        platform::fatalError("no segue \"" + identifier + "\"");
    if (auto* window = sender.window()) {
        auto screen = std::make_shared<ViewController>();
        screen->adoptPreparedWebView(std::move(prepared));
        window->replaceRootScreen(std::move(screen));
    }
}
