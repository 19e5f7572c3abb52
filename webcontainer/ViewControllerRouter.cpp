// Messages the page posts: window.webkit.messageHandlers.callbackHandler.postMessage(text).
#include "webcontainer/ViewController.h"

#include "app/Logger.h"

void ViewController::userContentController(const std::string& name, const std::string& body)
{
    LOG_DEBUG("Message Script Message Body: " + body);
    if (name != "callbackHandler")
        return;
    LOG_DEBUG("JavaScript is sending a message " + body);
}
