#include "platform/UrlSession.h"

#include "platform/AsciiText.h"
#include "platform/GuardedCall.h"
#include "platform/Platform.h"

#include <atomic>

namespace platform {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

// A task that never started: cancelling it changes nothing.
class FinishedTask final : public UrlSessionTask {
public:
    void cancel() override {}
};

} // namespace

std::optional<std::string> HttpHeaderFields::value(std::string_view name) const
{
    for (const auto& [fieldName, fieldValue] : fields_)
        if (equalsIgnoringASCIICase(fieldName, name))
            return fieldValue;
    return std::nullopt;
}

void HttpHeaderFields::set(const std::string& name, const std::string& value)
{
    for (auto& field : fields_) {
        if (equalsIgnoringASCIICase(field.first, name)) {
            field.second = value;
            return;
        }
    }
    fields_.emplace_back(name, value);
}

void HttpHeaderFields::add(const std::string& name, const std::string& value)
{
    for (auto& field : fields_) {
        if (equalsIgnoringASCIICase(field.first, name)) {
            field.second += ", " + value;
            return;
        }
    }
    fields_.emplace_back(name, value);
}

void HttpHeaderFields::remove(std::string_view name)
{
    std::erase_if(fields_, [&](const auto& field) { return equalsIgnoringASCIICase(field.first, name); });
}

std::string HttpHeaderFields::description() const
{
    std::string text = "{";
    for (const auto& [name, value] : fields_)
        text += " " + name + " = " + value + ";";
    return text + " }";
}

std::string UrlRequest::description() const
{
    return httpMethod + " " + url;
}

std::string HttpUrlResponse::description() const
{
    return "{ URL: " + url + " } { Status Code: " + std::to_string(statusCode) + ", Headers " +
           headerFields.description() + " }";
}

UrlError UrlError::make(UrlErrorCode code)
{
    switch (code) {
    case UrlErrorCode::cancelled: return {code, "cancelled"};
    case UrlErrorCode::badURL: return {code, "bad URL"};
    case UrlErrorCode::unsupportedURL: return {code, "unsupported URL"};
    case UrlErrorCode::timedOut: return {code, "The request timed out."};
    case UrlErrorCode::cannotFindHost: return {code, "A server with the specified hostname could not be found."};
    case UrlErrorCode::cannotConnectToHost: return {code, "Could not connect to the server."};
    case UrlErrorCode::networkConnectionLost: return {code, "The network connection was lost."};
    case UrlErrorCode::tooManyRedirects: return {code, "too many HTTP redirects"};
    case UrlErrorCode::secureConnectionFailed:
        return {code, "An SSL error has occurred and a secure connection to the server cannot be made."};
    case UrlErrorCode::serverCertificateUntrusted:
        return {code, "The certificate for this server is invalid."};
    case UrlErrorCode::cannotDecodeContentData: return {code, "cannot decode raw data"};
    case UrlErrorCode::unknown: break;
    }
    return {UrlErrorCode::unknown, "An unknown error occurred."};
}

UrlSession::UrlSession(UrlSessionConfiguration configuration)
    : configuration_(std::move(configuration))
    , queue_(configuration_.delegateQueue ? configuration_.delegateQueue : makeSerialQueue(configuration_.identifier))
{
}

std::shared_ptr<UrlSessionTask> UrlSession::dataTask(UrlRequest request, DataTaskCompletion completion)
{
    auto self = shared_from_this();
    auto delivered = std::make_shared<std::atomic<bool>>(false);
    Finish finish = [self, delivered, completion = std::move(completion)](DataTaskResult result) mutable {
        if (delivered->exchange(true))
            return;
        self->queue_->async([self, completion = std::move(completion), result = std::move(result)]() mutable {
            if (completion)
                completion(std::move(result));
        });
    };
    if (!startsWithIgnoringCase(request.url, "http://") && !startsWithIgnoringCase(request.url, "https://")) {
        finish({std::nullopt, std::nullopt, UrlError::make(UrlErrorCode::unsupportedURL)});
        return std::make_shared<FinishedTask>();
    }
    return dataTaskImpl(std::move(request), std::move(finish));
}

void UrlSession::decideRedirect(HttpUrlResponse redirect, UrlRequest newRequest, std::function<void(bool)> answer)
{
    auto self = shared_from_this();
    queue_->async([self, redirect = std::move(redirect), newRequest = std::move(newRequest), answer = std::move(answer)] {
        bool follow = true;
        if (self->configuration_.willPerformHTTPRedirection) {
            // A decision that fails refuses the redirect; the task still completes.
            follow = false;
            guardedCall("redirect decision", [&] {
                follow = self->configuration_.willPerformHTTPRedirection(redirect, newRequest);
            });
        }
        answer(follow);
    });
}

std::shared_ptr<UrlSession> makeUrlSession(UrlSessionConfiguration configuration)
{
    auto& make = current().makeUrlSession;
    return make ? make(std::move(configuration)) : nullptr;
}

} // namespace platform
