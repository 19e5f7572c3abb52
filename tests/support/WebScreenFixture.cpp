#include "tests/support/WebScreenFixture.h"

#include "base/Config.h"
#include "portable/Dispatch.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace testsupport {

WebScreenFixture::WebScreenFixture(UpdateChecks updateChecks, const CommandTable& commands)
{
    ViewController::UpdateCheck check = ViewController::contentServerUpdateCheck;
    if (updateChecks == UpdateChecks::record)
        check = [this](const std::weak_ptr<platform::View>&, bool wakeup) { this->updateChecks.push_back(wakeup); };
    screen = std::make_shared<ViewController>(commands, std::move(check));
    fakes.application->run(0, nullptr, delegate);
    delegate.window = window;
    window->setRootScreen(screen);
}

void WebScreenFixture::runMainQueue()
{
    platform::drainMainQueue();
}

fs::path WebScreenFixture::webRoot()
{
    return sharedConfig().WEBROOT;
}

void WebScreenFixture::writeWebFile(const std::string& relative, const std::string& content)
{
    writeFile(webRoot() / relative, content);
}

FakeWebView& WebScreenFixture::currentWebView()
{
    auto* view = dynamic_cast<FakeWebView*>(screen->webView.get());
    if (!view)
        throw std::runtime_error("the screen has no web view");
    return *view;
}

std::string WebScreenFixture::loadedPage()
{
    const auto& loads = currentWebView().loads();
    if (loads.empty())
        return "";
    const std::string file = loads.back().file.string();
    const std::string root = webRoot().string();
    return file.starts_with(root) ? file.substr(root.size()) : file;
}

} // namespace testsupport
