// Handling a server call's reply by its headers: cookies, a received file, a script body, a
// landing page, the queued scripts.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/UIHelpers.h"
#include "contentserver/DeleteAfterUnzipDelegate.h"
#include "logger/Logger.h"
#include "portable/AsciiText.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "portable/HttpCookie.h"
#include "portable/URLComponents.h"
#include "portable/UTF8.h"
#include "portable/ZipArchive.h"


namespace fs = std::filesystem;

namespace {

const platform::HttpCookie* firstCookieNamed(const std::vector<platform::HttpCookie>& cookies, const std::string& name)
{
    for (const auto& cookie : cookies)
        if (cookie.name == name)
            return &cookie;
    return nullptr;
}

// The file name of a Content-Disposition value: its second ";" piece, of that the second "="
// piece, without white space around it ("attachment; filename=a.txt" gives a.txt; quotation
// marks stay). Nothing when a piece is missing.
std::optional<std::string> fileNameOf(const std::string& disposition)
{
    auto nthPiece = [](const std::string& text, char separator, int n) -> std::optional<std::string> {
        std::size_t start = 0;
        for (int i = 0; i < n; ++i) {
            start = text.find(separator, start);
            if (start == std::string::npos)
                return std::nullopt;
            ++start;
        }
        return text.substr(start, text.find(separator, start) - start);
    };
    auto parameter = nthPiece(disposition, ';', 1);
    auto value = parameter ? nthPiece(*parameter, '=', 1) : std::nullopt;
    if (!value)
        return std::nullopt;
    return std::string(platform::trimmed(*value));
}

// Writes `bytes` to `file`, replacing what is there (a link itself, never its target); the
// reason when it fails.
std::optional<std::string> writeFile(const platform::ContainedPath& file, const std::string& bytes)
{
    if (const auto error = file.writeFile(bytes))
        return "The file \u201c" + file.name() + "\u201d couldn\u2019t be saved: " + error.message();
    return std::nullopt;
}

} // namespace

void ServerCom::getAndStoreNonces(const platform::HttpUrlResponse& response)
{
    const auto cookies = platform::cookiesWithResponseHeaderFields(response.setCookieLines, response.url);
    if (cookies.empty())
        return;
    std::string list;
    for (const auto& cookie : cookies)
        list += (list.empty() ? "" : ", ") + cookie.description();
    LOG_DEBUG("Got cookies: [" + list + "]");

    if (const auto* cookie = firstCookieNamed(cookies, "nonces")) {
        const auto nonces = platform::removingPercentEncoding(cookie->value);
        LOG_DEBUG("Saving nonces: " + nonces.value_or("nil"));
        std::lock_guard lock(nonceMutex_);
        if (nonces)
            sharedConfig().defaults.set(NONCE_KEY, *nonces);
        else
            sharedConfig().defaults.remove(NONCE_KEY);
    }
    if (const auto* cookie = firstCookieNamed(cookies, "message")) {
        if (const auto message = platform::removingPercentEncoding(cookie->value)) {
            LOG_DEBUG("Got message from cookie: " + *message);
            platform::mainQueue().async(
                [this, message = *message] { showOkAlert(JS_ALERT_TITLES().at("INFO"), message); });
        }
    }
    if (const auto* cookie = firstCookieNamed(cookies, "script")) {
        if (const auto script = platform::removingPercentEncoding(cookie->value)) {
            LOG_DEBUG("cookie script found: " + *script);
            sharedConfig().stackOfJScript.lock()->push(*script);
        }
    }
}

void ServerCom::parseHeader(const platform::HttpUrlResponse& response, const std::string& data)
{
    getAndStoreNonces(response);
    const platform::HttpHeaderFields& headers = response.headerFields;
    LOG_DEBUG("All Headers:  " + headers.description());
    const PageReply page = latestPage();

    if (const auto contentType = headers.value("Content-Type")) {
        if (const auto disposition = headers.value("Content-Disposition")) {
            if (!receiveFile(*disposition, data))
                return;
        }
        if (*contentType == "application/javascript" && platform::isValidUTF8(data))
            page.runScript(data);
        else if (contentType->find("text/xml") != std::string::npos)
            receiveUpdateReply(data);
    }

    if (const auto location = headers.value("Location")) {
        LOG_DEBUG("calling webview reload with landing page: " + *location);
        sharedNotificationCenter().post(bundleID(), this, {{"landingPage", *location}});
    } else {
        while (auto script = sharedConfig().stackOfJScript.lock()->pop()) {
            LOG_DEBUG("Calling jsCript after webview navigation: " + *script);
            page.runScript(*script);
        }
    }

    if (headers.value("Connection") == "close")
        LOG_ERROR("Server closed connection!");
}

bool ServerCom::receiveFile(const std::string& disposition, const std::string& data)
{
    const auto name = fileNameOf(disposition);
    if (!name || name->empty()) {
        LOG_ERROR("No filename found");
        fileReplyAlert("317");
        return true;
    }
    // A received file belongs in the web root: a name that is refused there counts as no name.
    const auto file = platform::ContainedPath::make(sharedConfig().WEBROOT, *name);
    if (!file) {
        LOG_ERROR("No filename found inside the web root: " + *name);
        fileReplyAlert("317");
        return true;
    }
    LOG_DEBUG(" save " + *name);
    const fs::path path = file->path();
    LOG_DEBUG("writing file to: " + path.string());

    std::optional<std::string> failure;
    if (!data.empty()) {
        failure = writeFile(*file, data);
        // A ".zip" is unpacked by its name, also when its bytes happen to read as UTF-8 text.
        if (!failure && name->ends_with(".zip")) {
            DeleteAfterUnzipDelegate deleteAfterUnzip;
            if (!platform::ZipArchive::unzipFileAtPath(path, sharedConfig().WEBROOT, nullptr, &deleteAfterUnzip)) {
                LOG_ERROR("Error unzipping file " + platform::fileURLString(path) + " to " + sharedConfig().WEBROOT);
                fileReplyAlert(":280");
                return false;
            }
        }
    }
    if (failure) {
        LOG_ERROR(*failure + " writing file " + platform::fileURLString(path));
        fileReplyAlert("291");
    }
    sharedNotificationCenter().post(bundleID(), this, {{"filereceived", "true"}});
    return true;
}

void ServerCom::receiveUpdateReply(const std::string& data)
{
    pugi::xml_document document;
    try {
        document = parseXML(data);
    } catch (const fetchAppXmlError& error) {
        LOG_DEBUG(std::string("Error parsing XML: ") + error.what());
        fileReplyAlert("340");
        return;
    }
    RequestProperties properties;
    properties.populate(document);
    if (platform::isValidUTF8(data))
        properties.xmlResponse = data;
    isPersonalization = true;
    if (!properties.jScript.empty())
        sharedConfig().stackOfJScript.lock()->push(properties.jScript);
    platform::mainQueue().async([weak = weak_from_this(), properties = std::move(properties)] {
        auto self = weak.lock();
        if (!self)
            return;
        const auto screen = self->viewController.lock();
        if (!screen || !screen->screenView()) {
            LOG_ERROR("No Viewcontroller View!!!");
            return;
        }
        self->downloadUpdate(screen->screenView(), properties, "", "", std::nullopt, false);
    });
}

void ServerCom::fileReplyAlert(const std::string& code)
{
    platform::mainQueue().async([this, code] { showOkAlert(JS_ALERT_TITLES().at("ERROR") + code, SC_UPDATE_ERROR); });
}

void ServerCom::showOkAlert(const std::string& title, const std::string& message)
{
    showAlert(title, message, AlertButton{localizedString("OK"), [this] { latestPage().hideAllLoading(); }});
}
