// Request parameters: the parameter record, nonces and the one-time code.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/ServerAddress.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/OTP.h"
#include "logger/Logger.h"
#include "platform/Clock.h"
#include "portable/Bundle.h"
#include "portable/Device.h"
#include "portable/URLComponents.h"

#include <array>

namespace {

std::string lazyLoadModeText(LazyLoad::lazyLoadMode mode)
{
    switch (mode) {
    case LazyLoad::lazyLoadMode::all: return "all";
    case LazyLoad::lazyLoadMode::nonhtml: return "nonhtml";
    case LazyLoad::lazyLoadMode::none: break;
    }
    return "";
}

} // namespace

std::optional<VuApiParams> ServerCom::makeApiParams()
{
    platform::SettingsStore& defaults = sharedConfig().defaults;
    constexpr std::array<const char*, 7> required = {"serverprotocol", "servername", "serverpath", "serverfile",
                                                     "app",            "date",       "full"};
    std::array<std::string, 7> values;
    for (std::size_t i = 0; i < required.size(); ++i) {
        auto value = defaults.string(required[i]);
        if (!value) {
            LOG_ERROR(std::string("cannot build the request parameters: no text in setting ") + required[i]);
            return std::nullopt;
        }
        values[i] = std::move(*value);
    }

    VuApiParams params;
    params.baseURL = values[0] + values[1];
    params.xmlPath = values[2] + values[3];
    params.app = values[4];
    params.lsync = values[5];
    params.lfsync = values[6];
    params.os_version = urlEncode(platform::systemName() + " " + platform::systemVersion()).value_or("");
    const auto languages = platform::preferredLanguages();
    params.lang = languages.empty() ? "" : urlEncode(languages.front()).value_or("");
    params.uuid = defaults.string("uuid").value_or("");
    params.regToken = defaults.string("registrationToken").value_or("");
    params.app_version = platform::Bundle::main()->shortVersion();
    params.nonce = getNextNonce().value_or("");
    params.otp = getOTP().value_or("");
    params.lazyloadMode = lazyLoadModeText(sharedLazyLoad().configuredLazyLoadMode);
    return params;
}

std::optional<std::string> ServerCom::getNextNonce()
{
    platform::SettingsStore& defaults = sharedConfig().defaults;
    // Taking a nonce reads the list and writes the rest back: one taker at a time.
    std::lock_guard lock(nonceMutex_);
    const auto stored = defaults.string(NONCE_KEY);
    if (!stored) {
        LOG_DEBUG("No nonces found");
        return std::nullopt;
    }
    const auto separator = stored->find(';');
    const std::string nonce = stored->substr(0, separator);
    const std::string rest = separator == std::string::npos ? "" : stored->substr(separator + 1);
    defaults.set(NONCE_KEY, rest);
    LOG_DEBUG("Returning Nonce: " + nonce);
    defaults.set(LAST_NONCE_KEY, nonce);
    return nonce;
}

std::optional<std::string> ServerCom::getOTP()
{
    const auto key = sharedConfig().defaults.string(OTP_KEY);
    if (!key) {
        LOG_ERROR("OTP key not configured");
        return std::nullopt;
    }
    const auto url = platform::URLComponents::parse("otpauth://totp/otterdesk?secret=" + *key +
                                                    "&algorithm=SHA1&digits=6");
    const auto otp = url ? OTP::create(*url) : std::nullopt;
    if (!otp) {
        LOG_ERROR("Problem creating otp urlc or otp object");
        return std::nullopt;
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(platform::now().time_since_epoch()).count();
    return otp->generate(seconds / 30);
}
