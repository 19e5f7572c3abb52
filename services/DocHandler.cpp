#include "services/DocHandler.h"

#include "base/Config.h"
#include "base/FileHelpers.h"
#include "base/LocalizedTexts.h"
#include "base/PageReply.h"
#include "base/UIHelpers.h"
#include "logger/Logger.h"
#include "platform/Platform.h"
#include "platform/Toast.h"
#include "portable/Check.h"
#include "portable/ContainedPath.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <charconv>
#include <chrono>
#include <utility>

namespace {

void toastAtBottom(const std::string& text)
{
    platform::showToast(text, std::chrono::milliseconds(2000), platform::ToastPosition::bottom);
}

// `format` with its "%llu" replaced by `value`.
std::string formatted(std::string format, std::uint64_t value)
{
    if (const auto at = format.find("%llu"); at != std::string::npos)
        format.replace(at, 4, std::to_string(value));
    return format;
}

} // namespace

std::shared_ptr<DocHandler> DocHandler::create(const std::vector<std::string>& documentTypes)
{
    const bool images = documentTypes == std::vector<std::string>{"public.image"};
    return std::shared_ptr<DocHandler>(new DocHandler(images ? platform::DocumentTypes::image : platform::DocumentTypes::item));
}

DocHandler::DocHandler(platform::DocumentTypes types)
    : PH_ERROR_ON_UPLOAD_CHOOSE(localizedString("PH_ERROR_ON_UPLOAD_CHOOSE")),
      DH_UPLD_TOO_BIG(localizedString("DH_UPLD_TOO_BIG")),
      types_(types)
{
}

void DocHandler::presentPicker(const std::shared_ptr<platform::WebView>& webView, std::optional<std::string> callback)
{
    platform::requireMainThread();
    this->webView = webView;
    callbackValue = std::move(callback);
    const auto& make = platform::current().makeDocumentPicker;
    picker_ = make ? make(types_) : nullptr;
    if (!picker_) {
        LOG_ERROR("no document picker on this platform");
        return;
    }
    // The handlers keep this handler alive while the picker is shown.
    picker_->present(
        webView, [self = shared_from_this()](std::vector<std::string> urls) { self->documentsPicked(urls); },
        [self = shared_from_this()] { self->wasCancelled(); });
}

std::optional<std::uint64_t> DocHandler::maxUploadSize()
{
    const auto text = sharedConfig().defaults.string("maxuploadsize");
    std::uint64_t limit = 0;
    if (text && !text->empty()) {
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), limit);
        if (error == std::errc{} && end == text->data() + text->size())
            return limit;
    }
    LOG_ERROR("FIXME: no maxuploadsize found");
    return std::nullopt;
}

void DocHandler::showChooseError() const
{
    if (!webView.expired())
        toastAtBottom(PH_ERROR_ON_UPLOAD_CHOOSE);
}

void DocHandler::documentsPicked(const std::vector<std::string>& urls)
{
    picker_.reset();
    const auto& folder = sharedConfig().UPLOADURL;
    if (!saveCreateDir(folder)) {
        toastAtBottom(PH_ERROR_ON_UPLOAD_CHOOSE);
        return;
    }
    if (urls.empty())
        return;
    const std::string& url = urls.front();
    LOG_DEBUG("import result : " + url);
    const auto source = platform::pathFromFileURL(url);
    if (!source) {
        showChooseError();
        LOG_ERROR("Wrong URL (not file): " + url);
        return;
    }
    struct stat attributes {};
    if (::stat(source->c_str(), &attributes) != 0) {
        showChooseError();
        LOG_ERROR("Error writing Image file: " + std::error_code(errno, std::generic_category()).message());
        return;
    }
    const auto size = static_cast<std::uint64_t>(attributes.st_size);
    const std::string name = source->filename().string();
    // The name goes through the one rule for names inside a folder ("..", "" and the like are refused).
    const auto destination = platform::ContainedPath::make(folder, name);
    if (!destination) {
        showChooseError();
        LOG_ERROR("Error writing Image file: the name \"" + name + "\" cannot be used");
        return;
    }
    if (const auto limit = maxUploadSize(); limit && size > *limit) {
        const std::string message = formatted(DH_UPLD_TOO_BIG, *limit >> 20);
        platform::mainQueue().async([message] {
            showAlert(JS_ALERT_TITLES().at("ERROR"), message, AlertButton{localizedString("OK"), {}});
        });
        return;
    }
    const auto fail = [&](const std::error_code& error) {
        showChooseError();
        LOG_ERROR("Error writing Image file: " + error.message());
    };
    struct stat existing {};
    if (!destination->entryStatus(existing)) {
        if (const auto error = destination->remove())
            return fail(error);
    }
    LOG_DEBUG("writing file " + name + " to " + destination->path().string());
    // A copy of its own: the user's file stays where it is, whatever file system it is on.
    if (const auto error = destination->copyFrom(*source))
        return fail(error);
    const std::string answer =
        R"({"filePath":)" + nlohmann::json(name).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
        + R"(, "fileType":"other"})";
    PageReply(webView, callbackValue).send(answer);
}

void DocHandler::wasCancelled()
{
    LOG_DEBUG("Document Picker view was cancelled");
    if (const auto picker = std::exchange(picker_, nullptr))
        picker->dismiss();
}
