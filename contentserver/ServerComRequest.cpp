// Building the POST of a server call: the address, a URL-encoded form or a multipart form.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/ServerAddress.h"
#include "logger/Logger.h"
#include "portable/ContainedPath.h"
#include "portable/MimeTypes.h"
#include "portable/URLComponents.h"
#include "portable/UUID.h"


namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds serverCallTimeout{60};

ServerCom::RequestOrError cannotFindHost()
{
    return {std::nullopt, platform::UrlError::make(platform::UrlErrorCode::cannotFindHost).localizedDescription};
}

ServerCom::RequestOrError unreadable(const std::string& name)
{
    return {std::nullopt, "The file \u201c" + name + "\u201d couldn\u2019t be opened."};
}

bool isAddress(const std::string& text)
{
    return platform::URLComponents::parse(text).has_value();
}

// The file of an upload name: a plain name directly inside the upload folder, as the picker
// puts files there (no folder part, nothing cleaned away); where it leads is checked on reading.
std::optional<platform::ContainedPath> uploadFile(const std::string& name)
{
    auto file = platform::ContainedPath::make(sharedConfig().UPLOADURL, name);
    if (!file || file->relative() != name || file->parent())
        return std::nullopt;
    return file;
}

// A file name as a quoted multipart header value: its quotation marks and line breaks are
// percent-escaped, as browsers send them, so the name can't end the header early.
std::string quotedHeaderValue(const std::string& value)
{
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"')
            quoted += "%22";
        else if (c == '\r')
            quoted += "%0D";
        else if (c == '\n')
            quoted += "%0A";
        else
            quoted += c;
    }
    return quoted + "\"";
}

std::string describe(const std::map<std::string, std::string>& fields)
{
    std::string text = "[";
    for (const auto& [name, value] : fields)
        text += (text.size() > 1 ? ", \"" : "\"") + name + "\": \"" + value + "\"";
    return text + "]";
}

} // namespace

ServerCom::RequestOrError ServerCom::createRequest(const std::string& params, const std::string& nonEncoded,
                                                   const std::string& uploadFileName, const std::string& serverAction,
                                                   const std::string& externalSyncUrl)
{
    const auto apiParams = makeApiParams();
    if (!apiParams)
        return cannotFindHost();

    platform::UrlRequest request;
    if (!externalSyncUrl.empty()) {
        if (!isAddress(externalSyncUrl) || sharedConfig().defaults.string("EXTERNAL_SERVERCALL_STRATEGY") != "any") {
            LOG_ERROR("cant get external sync url " + externalSyncUrl);
            return cannotFindHost();
        }
        request.url = externalSyncUrl;
    } else {
        const auto stored = serverURL(false);
        if (!stored || !isAddress(*stored)) {
            LOG_ERROR("cant get stored server url");
            return cannotFindHost();
        }
        request.url = *stored;
    }
    request.timeoutInterval = serverCallTimeout;
    request.httpMethod = "POST";
    const std::string action = serverAction.empty() ? VuApiParams::PARAM_ACTION_SERVERCALL : serverAction;

    if (uploadFileName.empty() || uploadFileName == "null") {
        request.headerFields.set("Content-Type", "application/x-www-form-urlencoded");
        request.headerFields.set("Accept", "application/json");
        std::string body = "app=" + apiParams->app + "&" + VuApiParams::PARAM_ACTION + "=" + action +
                           apiParams->queryString(true);
        if (!params.empty())
            body += "&params=" + urlEncode(params).value_or("");
        if (!nonEncoded.empty())
            body += nonEncoded;
        request.httpBody = body;
        LOG_DEBUG("sending post String " + body + " to " + request.description());
        return {std::move(request), ""};
    }

    const auto file = uploadFile(uploadFileName);
    if (!file)
        return unreadable(uploadFileName);
    const std::string boundary = "Boundary-" + platform::makeUUIDString();
    request.headerFields.set("Content-Type", "multipart/form-data; boundary=" + boundary);
    std::map<std::string, std::string> fields = {
        {"app", apiParams->app},
        {"uuid", apiParams->uuid},
        {"app_version", apiParams->app_version},
        {"os_version", apiParams->os_version},
        {"lang", apiParams->lang},
        {"action", VuApiParams::PARAM_ACTION_SERVERCALL},
        {"nonce", apiParams->nonce},
        {"otp", apiParams->otp},
    };
    if (!params.empty())
        fields["params"] = params;
    auto body = multipartBody(&fields, "file", {*file}, boundary);
    if (!body.body)
        return {std::nullopt, body.errorDescription};
    request.httpBody = std::move(body.body);
    LOG_DEBUG("sending multipart form data with parameters: " + describe(fields) + " to " + request.description());
    return {std::move(request), ""};
}

ServerCom::BodyOrError ServerCom::multipartBody(const std::map<std::string, std::string>* fields,
                                                const std::string& fileFieldName,
                                                const std::vector<platform::ContainedPath>& files,
                                                const std::string& boundary) const
{
    constexpr const char* crlf = "\r\n";
    std::string body;
    if (fields) {
        for (const auto& [name, value] : *fields) {
            if (name.empty())
                continue;
            body += "--" + boundary + crlf;
            body += "Content-Disposition: form-data; name=\"" + name + "\"" + crlf + crlf;
            body += value + crlf;
        }
    }
    for (const auto& file : files) {
        std::error_code error;
        const auto bytes = file.readFile(error);
        if (!bytes)
            return {std::nullopt, unreadable(file.name()).errorDescription};
        const fs::path path = file.path();
        body += "--" + boundary + crlf;
        body += "Content-Disposition: form-data; name=\"" + fileFieldName + "\"; filename=" +
                quotedHeaderValue(path.filename().string()) + crlf;
        body += "Content-Type: " + mimeType(path) + crlf + crlf;
        body += *bytes + crlf;
    }
    body += "--" + boundary + "--" + crlf;
    return {std::move(body), ""};
}

std::string ServerCom::mimeType(const fs::path& path) const
{
    const std::string extension = path.extension().string();
    if (extension.size() < 2)
        return "application/octet-stream";
    return platform::preferredMimeType(extension.substr(1)).value_or("application/octet-stream");
}
