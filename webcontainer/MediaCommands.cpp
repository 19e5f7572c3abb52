// Bridge commands that show files and play sound for the page: "delegateFile" and "showImage"
// (the screen's preview) and "controlAudio" (the screen's one audio player). None answers with
// a value; "controlAudio" acknowledges pause and resume, and tells the page "end" when a jump
// runs past either end of the file.
#include "base/Config.h"
#include "base/FileHelpers.h"
#include "base/ServerAddress.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/UrlSession.h"
#include "portable/ContainedPath.h"
#include "portable/TransferLimits.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/ImageDownload.h"

namespace {

// How far "rewind" and "forward" jump, in seconds.
constexpr double kAudioStep = 15.0;
const std::string kAudioEndScript = "controlAudioCallback(\"end\")";

// The path of `file` for a reader that opens it by path; nothing when a link in it leads out
// of its folder.
std::optional<std::filesystem::path> readablePath(const platform::ContainedPath& file)
{
    struct stat status {};
    if (platform::ContainedPath::leadsOutside(file.status(status))) {
        LOG_ERROR(file.relative() + " leads out of " + file.folder().string());
        return std::nullopt;
    }
    return file.path();
}

void previewFile(BridgeScreen& screen, const std::filesystem::path& file)
{
    screen.fileURLs->present(screen.fileURLs->indexOf(file));
}

} // namespace

void bridge::delegateFile(BridgeScreen& screen, BridgeRequest& request)
{
    const auto url = request.url.value("url");
    if (!url)
        return;
    const auto file = createFullURL(*url);
    if (!file)
        return;
    // Whether the file exists is left to the preview, which says so.
    if (const auto path = readablePath(*file))
        previewFile(screen, *path);
}

void bridge::showImage(BridgeScreen& screen, BridgeRequest& request)
{
    const auto image = request.url.value("image");
    if (!image)
        return;
    const auto encoded = urlEncode(*image);
    if (!encoded)
        return;
    Config& config = sharedConfig();
    if (const auto local = createFullURL(config.WEBROOT, *image); local && local->exists()) {
        if (const auto path = readablePath(*local))
            previewFile(screen, *path);
        return;
    }
    auto built = sharedServerCom().createRequest("", "&id=" + *encoded, "", "file", "");
    if (!built.request) {
        LOG_ERROR(built.errorDescription);
        return;
    }
    built.request->maximumBodyLength = [](const platform::HttpUrlResponse&) { return platform::limits::serverCallFileBytes; };
    saveCreateDir(config.SYNCURL);
    platform::UrlSessionConfiguration configuration;
    configuration.identifier = "showImage";
    const auto session = platform::makeUrlSession(std::move(configuration));
    if (!session) {
        LOG_ERROR("no URL session for the image " + *image);
        return;
    }
    session->dataTask(std::move(*built.request),
                      [items = std::weak_ptr<PreviewItems>(screen.fileURLs)](platform::DataTaskResult result) {
                          showImageCompletion(result, items);
                      });
    config.appState = Config::appStateEnum::PENDING;
}

void bridge::controlAudio(BridgeScreen& screen, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    const auto* callback = url.item("callback");
    const auto* file = url.item("file");
    const auto* command = url.item("command");
    if (!callback || !file || !command)
        return;
    // The desktop has no audio session to activate or categorise: sound simply plays.
    auto& player = screen.player;
    if (command->value) {
        const std::string& word = *command->value;
        if (word == "start") {
            if (!file->value)
                return;
            const auto contained = createFullURL(*file->value);
            const auto path = contained ? readablePath(*contained) : std::nullopt;
            if (!path) {
                LOG_ERROR("could not create file URL");
                return;
            }
            std::string error;
            auto started = platform::makeAudioPlayer(*path, error);
            if (!started) {
                LOG_ERROR(error);
                return;
            }
            player = std::move(started);
            player->prepareToPlay();
            player->play();
            return;
        }
        if (word == "stop") {
            if (player)
                player->stop();
            return;
        }
        if (word == "pause" || word == "resume") {
            if (!player)
                return;
            if (word == "pause")
                player->pause();
            else
                player->play();
        } else if (word == "rewind" || word == "forward") {
            if (!player)
                return;
            const double target = player->currentTime() + (word == "rewind" ? -kAudioStep : kAudioStep);
            if (target < 0 || player->duration() < target) {
                player->stop();
                request.reply.runScript(kAudioEndScript);
            } else {
                player->setCurrentTime(target);
            }
            return;
        } else {
            LOG_DEBUG("command " + word + " not implemented");
            return;
        }
    }
    if (callback->value && *callback->value != "undefined")
        request.reply.acknowledge();
}
