// Bridge commands for the page's stored values and for facts about the installation and the
// device: "setValue", "getValue", "setLang", "getUuid", "getUser", "getLastNonce",
// "getLastSyncDate", "getOsVersion", "getContainerVersion", "getAppState", "isOnline" and
// "getIsAbleToNFC". The setters answer nothing; each getter answers at once with one small
// JSON object. A setting that holds another type than text ends a getter without a reply.

#include "base/Config.h"
#include "base/IJReachability.h"
#include "base/Logger.h"
#include "contentserver/ServerCom.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "webcontainer/BridgeConventions.h"
#include "webcontainer/CommandTable.h"

namespace {

// Settings keys of the page's own values begin with this.
const std::string pageValuePrefix = "cli_";

platform::SettingsStore& settings()
{
    return sharedConfig().defaults;
}

void setValue(BridgeScreen&, const CommandURL& url)
{
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

void getValue(BridgeScreen& screen, const CommandURL& url)
{
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
    replyToPage(screen, url, reply);
    LOG_DEBUG("returning  value to js " + reply);
}

void setLang(BridgeScreen&, const CommandURL& url)
{
    const auto* lang = url.item("lang");
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

void replyWithStoredText(BridgeScreen& screen, const CommandURL& url, const StoredTextGetter& getter)
{
    if (!url.item("callback")) {
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
    replyToPage(screen, url, reply);
    LOG_DEBUG(getter.replyLog + reply);
}

void getUuid(BridgeScreen& screen, const CommandURL& url)
{
    static const StoredTextGetter getter{"uuid", "uuid", "Error getting uuid no parameter found",
                                         "returning UUID to js: "};
    replyWithStoredText(screen, url, getter);
}

void getUser(BridgeScreen& screen, const CommandURL& url)
{
    static const StoredTextGetter getter{sharedConfig().USERNAME_KEY, "user", "Error getting user no parameter found",
                                         "returning  value to js ", true, true};
    replyWithStoredText(screen, url, getter);
}

void getLastNonce(BridgeScreen& screen, const CommandURL& url)
{
    // The server client stores the nonce it takes last.
    static const StoredTextGetter getter{sharedServerCom().LAST_NONCE_KEY, "lastNonce",
                                         "Error getting lastNonce no parameter found",
                                         "returning lastNonce to js: ", true};
    replyWithStoredText(screen, url, getter);
}

void getLastSyncDate(BridgeScreen& screen, const CommandURL& url)
{
    static const StoredTextGetter getter{"lastUpdateCheck", "lastSyncDate",
                                         "Error setting lastupdate no parameter found",
                                         "returning lastupdate to js: "};
    replyWithStoredText(screen, url, getter);
}

void getOsVersion(BridgeScreen& screen, const CommandURL& url)
{
    if (!url.item("callback")) {
        LOG_ERROR("Error setting osVersion no callback found");
        return;
    }
    // The page knows the system word "ios"; it stays, with this system's version beside it.
    const std::string version = platform::systemVersion();
    replyToPage(screen, url, R"({"os":"ios", "version": )" + jsonString(version) + "}");
    LOG_DEBUG("returning osVersion to js: " + version);
}

void getContainerVersion(BridgeScreen& screen, const CommandURL& url)
{
    if (!url.item("callback"))
        return;
    const auto version = platform::Bundle::main()->infoValue("CFBundleShortVersionString");
    const std::string* text = version ? version->asString() : nullptr;
    if (!text)
        return;
    const auto lastPoint = text->rfind('.');
    if (lastPoint == std::string::npos)
        return;
    const std::string reply = member("containerVersion", text->substr(0, lastPoint));
    replyToPage(screen, url, reply);
    LOG_DEBUG("returning containerVersion to js: " + reply);
}

void getAppState(BridgeScreen& screen, const CommandURL& url)
{
    if (!url.item("callback"))
        return;
    Config::appStateEnum state = Config::appStateEnum::OFFLINE;
    if (IJReachability::isConnectedToNetwork())
        state = sharedConfig().appState == Config::appStateEnum::PENDING ? Config::appStateEnum::PENDING
                                                                           : Config::appStateEnum::FRESH;
    const std::string reply = member("appState", Config::rawValue(state));
    replyToPage(screen, url, reply);
    LOG_DEBUG("returning getAppStage to js: " + callbackName(url).value_or("null") + " " + reply);
}

void isOnline(BridgeScreen& screen, const CommandURL& url)
{
    if (!url.item("callback"))
        return;
    const std::string reply = member("isOnline", yesOrNo(IJReachability::isConnectedToNetwork()));
    replyToPage(screen, url, reply);
    LOG_DEBUG("returning isOnline to js: " + reply);
}

void getIsAbleToNFC(BridgeScreen& screen, const CommandURL& url)
{
    if (!url.item("callback"))
        return;
    // No NFC tag reading on this system.
    const std::string reply = member("isAbleToNFC", yesOrNo(false));
    replyToPage(screen, url, reply);
    LOG_DEBUG("returning isAbleToNFC to js: " + reply);
}

} // namespace

void registerValueAndDeviceCommands(CommandTable& table)
{
    table.add("getAppState", getAppState);
    table.add("getContainerVersion", getContainerVersion);
    table.add("getIsAbleToNFC", getIsAbleToNFC);
    table.add("getLastNonce", getLastNonce);
    table.add("getLastSyncDate", getLastSyncDate);
    table.add("getOsVersion", getOsVersion);
    table.add("getUuid", getUuid);
    table.add("getUser", getUser);
    table.add("getValue", getValue);
    table.add("isOnline", isOnline);
    table.add("setLang", setLang);
    table.add("setValue", setValue);
}
