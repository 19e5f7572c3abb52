// The web-process extension that confines a page's file reads: WebKit loads it into every web
// process of a context whose extensions folder holds it, with the folder the page may read as
// its initialization data (a string). Every request of every page (the page itself, frames,
// workers, images, style sheets, XMLHttpRequest, fetch) passes "send-request"; a file URL
// outside the folder is cancelled there, before it reaches the network process, which reads
// files for the page and is not confined by the web process's sandbox.
//
// Runs on the web process's main thread; logs through its own copy of the logger (the web
// process inherits WEBCONTAINER_LOG). The rule lives as long as the process.
#include "logger/Logger.h"
#include "platform/linux/ReadAccessRule.h"

#include <webkit2/webkit-web-extension.h>

#include <memory>

namespace {

std::unique_ptr<platform::gtk::ReadAccessRule> gRule;

gboolean onSendRequest(WebKitWebPage*, WebKitURIRequest* request, WebKitURIResponse*, gpointer)
{
    const char* uri = webkit_uri_request_get_uri(request);
    if (!uri || gRule->allows(uri))
        return FALSE;
    LOG_DEBUG("refused a request outside " + gRule->folder().string() + ": " + uri);
    return TRUE; // cancels the request
}

void onPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer)
{
    g_signal_connect(page, "send-request", G_CALLBACK(onSendRequest), nullptr);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension,
                                                                               const GVariant* data)
{
    // Without a folder the rule allows no file at all.
    const char* folder = data && g_variant_is_of_type(const_cast<GVariant*>(data), G_VARIANT_TYPE_STRING)
                             ? g_variant_get_string(const_cast<GVariant*>(data), nullptr)
                             : "";
    gRule = std::make_unique<platform::gtk::ReadAccessRule>(folder);
    g_signal_connect(extension, "page-created", G_CALLBACK(onPageCreated), nullptr);
}
