#include "webcontainer/ImageDownload.h"

#include "base/Config.h"
#include "base/TimestampFormatter.h"
#include "base/UIHelpers.h"
#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "portable/ContainedPath.h"
#include "portable/Dispatch.h"

#include <string_view>

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";
// The ASCII characters of Unicode's punctuation categories (symbols such as "+", "=", "$"
// are not among them).
constexpr std::string_view kPunctuation = "!\"#%&'()*,-./:;?@[\\]_{}";

std::string trimmed(const std::string& text, std::string_view characters)
{
    const auto first = text.find_first_not_of(characters);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

// The piece of `text` after the first `separator` and before the next one; nothing when there
// is no second piece.
std::optional<std::string> secondPiece(const std::string& text, char separator)
{
    const auto start = text.find(separator);
    if (start == std::string::npos)
        return std::nullopt;
    const auto end = text.find(separator, start + 1);
    return text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

void showDownloadFailure(const std::string& message)
{
    platform::mainQueue().async([message] {
        sharedConfig().appState = Config::appStateEnum::FRESH;
        platform::Alert alert;
        alert.title = "Alert";
        alert.message = message;
        alert.actions.push_back({"OK", platform::AlertAction::Style::Default, nullptr});
        const auto& application = platform::current().application;
        if (auto* top = topViewController(application && application->delegate() ? application->delegate()->keyWindow()
                                                                                   : nullptr))
            top->present(std::move(alert));
    });
}

} // namespace

std::optional<std::string> serverFileName(const platform::HttpUrlResponse& response)
{
    const auto disposition = response.headerFields.value("Content-Disposition");
    if (!disposition || !response.headerFields.contains("Content-Type"))
        return std::nullopt;
    LOG_DEBUG("All SHOWIMAGE Headers:  " + response.headerFields.description());
    const auto parameter = secondPiece(*disposition, ';');
    const auto value = parameter ? secondPiece(*parameter, '=') : std::nullopt;
    if (!value)
        return std::nullopt;
    std::string name = trimmed(trimmed(*value, kWhiteSpace), kPunctuation);
    if (const auto slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    LOG_DEBUG(" real server filename is " + name);
    return name;
}

void showImageCompletion(const platform::DataTaskResult& result, const std::weak_ptr<PreviewItems>& previewItems)
{
    const bool failedStatus = result.response && result.response->statusCode >= 400;
    if (result.error || !result.data || failedStatus) {
        showDownloadFailure(result.error ? result.error->localizedDescription : "Failed to download the image!");
        return;
    }
    Config& config = sharedConfig();
    std::string name = timestampFormatter().string(platform::now()) + ".jpg";
    if (result.response) {
        if (auto fromServer = serverFileName(*result.response))
            name = std::move(*fromServer);
    }
    const auto target = platform::ContainedPath::make(config.tmpDirURL, name);
    // The preview's own copy: a whole file or none, never one half written.
    if (!target || !config.fm.writeFileAtomically(target->path(), *result.data)) {
        config.appState = Config::appStateEnum::FRESH;
        LOG_ERROR("could not write the image " + name + " to " + config.tmpDirURL.string());
        return;
    }
    platform::mainQueue().async([file = target->path(), previewItems] {
        sharedConfig().appState = Config::appStateEnum::FRESH;
        LOG_DEBUG("wrote file to " + file.string());
        if (auto items = previewItems.lock())
            items->present(items->indexOf(file));
    });
}
