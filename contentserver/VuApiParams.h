#pragma once
// The parameters every request to the content server carries: the application's name on the
// server, the two sync markers, the device's system and language, the installation's identity,
// the push token, one nonce and one one-time code. Built afresh for each request
// (ServerCom::makeApiParams); a plain value, used by the thread that built it.

#include <string>

struct VuApiParams {
    std::string baseURL;     // "serverprotocol" + "servername"
    std::string xmlPath;     // "serverpath" + "serverfile"
    std::string app;
    std::string lsync;
    std::string lfsync;
    std::string os_version;  // percent-encoded
    std::string uuid;
    std::string lang;        // percent-encoded
    std::string app_version;
    std::string regToken;
    std::string nonce;
    std::string otp;
    std::string sync_mode;
    std::string lazyloadMode;

    static constexpr const char* PARAM_ACTION = "action";
    static constexpr const char* PARAM_ACTION_SERVERCALL = "servercall";
    static constexpr const char* PARAM_NONCE = "nonce";
    static constexpr const char* PARAM_OTP = "otp";
    static constexpr const char* PARAM_SYNC_MODE = "sync_mode";
    static constexpr const char* PARAM_LAZYLOAD = "lazy_load";

    // The parameters as name=value pairs, each introduced by "&", values as they stand (only
    // os_version and lang are encoded). Without skipPath the text starts with xmlPath + "?app="
    // + app, an empty app included, and is a path and query relative to baseURL; with skipPath
    // it is meant to be appended to a query or form body and carries app only when not empty.
    // Every other pair after lsync and lfsync is left out when its value is empty.
    std::string queryString(bool skipPath) const;
};
