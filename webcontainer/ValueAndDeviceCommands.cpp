// Bridge commands for the page's stored values and for facts about the installation and the
// device: "setValue", "getValue", "setLang", "getUuid", "getUser", "getLastNonce",
// "getLastSyncDate", "getOsVersion", "getContainerVersion", "getAppState", "isOnline" and
// "getIsAbleToNFC". The setters answer nothing; each getter answers at once with one small
// JSON object. A setting that holds another type than text ends a getter without a reply.

#include "base/Config.h"
#include "base/IJReachability.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "portable/Bundle.h"
#include "portable/Device.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/BridgeConventions.h"

namespace {

// Settings keys of the page's own values begin with this.
const std::string pageValuePrefix = "cli_";

platform::SettingsStore& settings()
{
    return sharedConfig().defaults;
}

} // namespace

void bridge::setValue(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    const auto* name = url.item("lang");
    if (!name) {
        LOG_ERROR("Error setting language no lang parameter found");
        return;
    }
    const auto* value = url.item("value");
    if (!value || !name->value || !value->value)
        return;
    const std::string key = pageValuePrefix + *name->value;
    if (value->value->empty()) {
        settings().remove(key);
        settings().synchronize();
        LOG_DEBUG("removing " + *name->value + " because value was empty!");
    } else {
        settings().set(key, *value->value);
        settings().synchronize();
        LOG_DEBUG("saving " + *name->value + " with value: " + *value->value);
    }
}

void bridge::getValue(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    const auto* key = url.item("key");
    if (!key || !url.item("callback")) {
        LOG_ERROR("Error getting value no value found");
        return;
    }
    std::string reply = R"({"value":null})";
    if (!key->value) {
        LOG_DEBUG("No value " + key->name + " found.");
    } else if (const auto stored = settings().object(pageValuePrefix + *key->value)) {
        const std::string* text = stored->asString();
        if (!text) {
            LOG_ERROR("Stored value " + *key->value + " is no text");
            return;
        }
        reply = serializedJSON({{"value", *text}});
    }
    request.reply.send(reply);
    LOG_DEBUG("returning  value to js " + reply);
}

void bridge::setLang(BridgeScreen&, BridgeRequest& request)
{
    const auto* lang = request.url.item("lang");
    if (!lang) {
        LOG_ERROR("Error setting language no lang parameter found");
        return;
    }
    if (!lang->value)
        return;
    settings().set("clang", *lang->value);
    settings().synchronize();
    LOG_DEBUG("setting clang to: " + *lang->value);
}

namespace {

// A getter that answers one stored text as {"<member>":"<text>"}.
struct StoredTextGetter {
    std::string key;
    std::string member;
    std::string missingCallbackLog;
    std::string replyLog;
    // Nothing stored: answer the member with the empty text (else: no reply).
    bool answersEmptyWhenMissing = false;
    // Nothing stored: log "No Key <key> found".
    bool logsMissingKey = false;
};

void replyWithStoredText(const BridgeRequest& request, const StoredTextGetter& getter)
{
    if (!request.url.item("callback")) {
        LOG_ERROR(getter.missingCallbackLog);
        return;
    }
    const auto stored = settings().object(getter.key);
    std::string text;
    if (!stored) {
        if (getter.logsMissingKey)
            LOG_DEBUG("No Key " + getter.key + " found");
        if (!getter.answersEmptyWhenMissing)
            return;
    } else if (const std::string* storedText = stored->asString()) {
        text = *storedText;
    } else {
        LOG_ERROR("Stored value " + getter.key + " is no text");
        return;
    }
    const std::string reply = member(getter.member, text);
    request.reply.send(reply);
    LOG_DEBUG(getter.replyLog + reply);
}

} // namespace

void bridge::getUuid(BridgeScreen&, BridgeRequest& request)
{
    static const StoredTextGetter getter{"uuid", "uuid", "Error getting uuid no parameter found",
                                         "returning UUID to js: "};
    replyWithStoredText(request, getter);
}

void bridge::getUser(BridgeScreen&, BridgeRequest& request)
{
    static const StoredTextGetter getter{sharedConfig().USERNAME_KEY, "user", "Error getting user no parameter found",
                                         "returning  value to js ", true, true};
    replyWithStoredText(request, getter);
}

void bridge::getLastNonce(BridgeScreen&, BridgeRequest& request)
{
    // The server client stores the nonce it takes last.
    static const StoredTextGetter getter{sharedServerCom().LAST_NONCE_KEY, "lastNonce",
                                         "Error getting lastNonce no parameter found",
                                         "returning lastNonce to js: ", true};
    replyWithStoredText(request, getter);
}

void bridge::getLastSyncDate(BridgeScreen&, BridgeRequest& request)
{
    static const StoredTextGetter getter{"lastUpdateCheck", "lastSyncDate",
                                         "Error setting lastupdate no parameter found",
                                         "returning lastupdate to js: "};
    replyWithStoredText(request, getter);
}

void bridge::getOsVersion(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback")) {
        LOG_ERROR("Error setting osVersion no callback found");
        return;
    }
    // The page knows the system word "ios"; it stays, with this system's version beside it.
    const std::string version = platform::systemVersion();
    request.reply.send(R"({"os":"ios", "version": )" + jsonString(version) + "}");
    LOG_DEBUG("returning osVersion to js: " + version);
}

void bridge::getContainerVersion(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const auto version = platform::Bundle::main()->infoValue("CFBundleShortVersionString");
    const std::string* text = version ? version->asString() : nullptr;
    if (!text)
        return;
    const auto lastPoint = text->rfind('.');
    if (lastPoint == std::string::npos)
        return;
    const std::string reply = member("containerVersion", text->substr(0, lastPoint));
    request.reply.send(reply);
    LOG_DEBUG("returning containerVersion to js: " + reply);
}

void bridge::getAppState(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    Config::appStateEnum state = Config::appStateEnum::OFFLINE;
    if (IJReachability::isConnectedToNetwork())
        state = sharedConfig().appState == Config::appStateEnum::PENDING ? Config::appStateEnum::PENDING
                                                                           : Config::appStateEnum::FRESH;
    const std::string reply = member("appState", Config::rawValue(state));
    request.reply.send(reply);
    LOG_DEBUG("returning getAppStage to js: " + request.reply.callback().value_or("null") + " " + reply);
}

void bridge::isOnline(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const std::string reply = member("isOnline", yesOrNo(IJReachability::isConnectedToNetwork()));
    request.reply.send(reply);
    LOG_DEBUG("returning isOnline to js: " + reply);
}

void bridge::getIsAbleToNFC(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    // No NFC tag reading on this system.
    const std::string reply = member("isAbleToNFC", yesOrNo(false));
    request.reply.send(reply);
    LOG_DEBUG("returning isAbleToNFC to js: " + reply);
}

