// Bridge commands for the page's local files. "fileExists", "deleteSyncFile",
// "deleteSyncFolder" and "getSyncFolderSize" work on the sync folder; "getFilesList",
// "getHTML" and "moveFile" on the web root. Every name the page gives goes through
// createFullURL and stays inside its folder (portable/ContainedPath.h): a name that is refused,
// or that leads out of the folder through a symbolic link, counts as a missing file.

#include "base/Config.h"
#include "base/FileHelpers.h"
#include "base/LocalizedTexts.h"
#include "logger/Logger.h"
#include "portable/FileURL.h"
#include "portable/UTF8.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/BridgeConventions.h"

#include <glib.h>
#include <sys/stat.h>

#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string status(const std::string& outcome)
{
    return "{\"status\":" + jsonString(outcome) + "}";
}

std::string errorText(std::errc code)
{
    return std::make_error_code(code).message();
}

// The error dialog of a delete in the sync folder; its button lets the page hide its
// loading indicators.
void showDeleteError(BridgeScreen& screen, const PageReply& reply)
{
    screen.presentAlert(JS_ALERT_TITLES().at("ERROR") + ":665", localizedString("VC_FILE_DELETE_ERROR"),
                        {localizedString("OK"), [reply] { reply.hideAllLoading(); }});
}

} // namespace

void bridge::fileExists(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    if (!url.item("callback"))
        return;
    const auto name = url.value("url");
    if (!name)
        return;
    const auto path = createFullURL(sharedConfig().SYNCURL, *name);
    const bool exists = path && path->exists();
    const std::string reply = member("fileExists", yesOrNo(exists));
    request.reply.send(reply);
    LOG_DEBUG("returning fileExists to js: " + reply);
}

void bridge::deleteSyncFile(BridgeScreen& screen, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    if (!url.item("callback"))
        return;
    const auto name = url.value("filename");
    if (!name)
        return;
    // The entry itself counts: a link is removed, never what it points to.
    const auto path = createFullURL(sharedConfig().SYNCURL, *name);
    struct stat entry {};
    if (!path || path->entryStatus(entry)) {
        showDeleteError(screen, request.reply);
        return;
    }
    if (const auto error = path->remove()) {
        LOG_ERROR("Error " + error.message() + " deleting File " + path->path().string());
        showDeleteError(screen, request.reply);
    }
    request.reply.acknowledge();
}

void bridge::deleteSyncFolder(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    deleteFolder(sharedConfig().SYNCURL);
    saveCreateDir(sharedConfig().SYNCURL);
    request.reply.acknowledge();
}

void bridge::getSyncFolderSize(BridgeScreen&, BridgeRequest& request)
{
    if (!request.url.item("callback"))
        return;
    const std::string reply =
        member("syncFolderSize", std::to_string(getFolderSize(sharedConfig().SYNCURL)));
    request.reply.send(reply);
    LOG_DEBUG("returning folderSize to js: " + reply);
}

void bridge::getFilesList(BridgeScreen&, BridgeRequest& request)
{
    const auto& callback = request.reply.callback();
    if (!callback)
        return;
    nlohmann::json files = nlohmann::json::array();
    for (const auto& file : getFilesOfWebDir()) {
        if (file.starts_with("file_"))
            files.push_back(file);
    }
    std::string reply = serializedJSON({{"filesList", std::move(files)}});
    LOG_DEBUG("Calling JS with " + *callback + ", " + reply);
    request.reply.sendLater(std::move(reply));
}

namespace {

bool isWhiteSpaceOrNewline(gunichar c)
{
    return g_unichar_isspace(c) || c == 0x85;
}

// `text` (UTF-8) without white space and line breaks at either end.
std::string trimmed(const std::string& text)
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    while (begin < end && isWhiteSpaceOrNewline(g_utf8_get_char(begin)))
        begin = g_utf8_next_char(begin);
    while (end > begin) {
        const char* last = g_utf8_find_prev_char(begin, end);
        if (!last || !isWhiteSpaceOrNewline(g_utf8_get_char(last)))
            break;
        end = last;
    }
    return std::string(begin, end);
}

// The text of a page file, in its encoding (platform::textFromBytes). Nothing, with the reason
// in `error`, when it is missing, leads out of the web root, is no plain file or no text.
std::optional<std::string> readPageText(const std::optional<platform::ContainedPath>& file, std::string& error)
{
    struct stat status {};
    const auto statusError = file ? file->status(status) : std::make_error_code(std::errc::no_such_file_or_directory);
    if (statusError || !S_ISREG(status.st_mode)) {
        error = statusError ? statusError.message() : errorText(S_ISDIR(status.st_mode) ? std::errc::is_a_directory
                                                                                         : std::errc::no_such_file_or_directory);
        return std::nullopt;
    }
    std::error_code readError;
    auto text = file->readFile(readError);
    if (!text) {
        error = readError.message();
        return std::nullopt;
    }
    auto decoded = platform::textFromBytes(*text);
    if (!decoded)
        error = "The file is no text in UTF-8 or in UTF-16 with a byte-order mark";
    return decoded;
}

} // namespace

void bridge::getHTML(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    const auto page = url.value("page");
    if (!page || !url.item("callback"))
        return;
    std::string error;
    const auto text = readPageText(createFullURL(sharedConfig().WEBROOT, *page), error);
    if (!text) {
        LOG_ERROR("contents could not be loaded or json error " + error);
        return;
    }
    request.reply.sendLater(serializedJSON({{"value", trimmed(*text)}}));
}

namespace {

// The file `folder`/`name` of the web root. Nothing when the name is empty or ".", or the
// joined path is refused (createFullURL). An empty folder is the web root.
std::optional<platform::ContainedPath> webRootFile(const std::string& folder, const std::string& name)
{
    if (name.empty() || name == ".")
        return std::nullopt;
    return createFullURL(sharedConfig().WEBROOT, folder.empty() ? name : folder + "/" + name);
}

// Moves a file inside the web root in one step (a rename), replacing the target; the outcome
// is "Y" or the error text. A missing source, or a source that is the target, changes nothing.
std::string moveInWebRoot(const std::string& fromPath, const std::string& fromFileName, const std::string& toPath,
                          const std::string& toFileName)
{
    const auto source = webRootFile(fromPath, fromFileName);
    const auto target = webRootFile(toPath, toFileName);
    const auto moveError = [](const std::string& reason) {
        const std::string outcome = "Error moving Image file: " + reason;
        LOG_ERROR(outcome);
        return outcome;
    };
    struct stat sourceStatus {};
    if (!source || source->entryStatus(sourceStatus))
        return moveError(errorText(std::errc::no_such_file_or_directory));
    if (!target) {
        const std::string outcome = "Wrong URL (not file): " + toPath + "/" + toFileName;
        LOG_ERROR(outcome);
        return outcome;
    }
    struct stat targetStatus {};
    if (!target->entryStatus(targetStatus) && targetStatus.st_dev == sourceStatus.st_dev &&
        targetStatus.st_ino == sourceStatus.st_ino)
        return moveError("source and target are the same file");

    // A plain file where the target's folder belongs stays: making the folder would delete it.
    // So does a link that leads out of the web root.
    const auto folder = target->parent();
    struct stat folderStatus {};
    const auto folderError = folder ? folder->status(folderStatus) : std::error_code{};
    if (folder && ((!folderError && !S_ISDIR(folderStatus.st_mode)) ||
                   platform::ContainedPath::leadsOutside(folderError) || !saveCreateDir(*folder))) {
        const std::string outcome = "Wrong URL (not file): " + platform::fileURLString(target->path());
        LOG_ERROR(outcome);
        return outcome;
    }
    LOG_DEBUG("moving file from " + platform::fileURLString(source->path()) + " to " +
              platform::fileURLString(target->path()));
    if (const auto error = source->moveTo(*target))
        return moveError(error.message());
    return "Y";
}

} // namespace

void bridge::moveFile(BridgeScreen&, BridgeRequest& request)
{
    const CommandURL& url = request.url;
    const auto fromPath = url.value("fromPath");
    const auto fromFileName = url.value("fromFileName");
    const auto toPath = url.value("toPath");
    const auto toFileName = url.value("toFileName");
    if (!fromPath || !fromFileName || !toPath || !toFileName)
        return;
    const std::string outcome = moveInWebRoot(*fromPath, *fromFileName, *toPath, *toFileName);
    if (request.reply.callback())
        request.reply.send(status(outcome));
}
