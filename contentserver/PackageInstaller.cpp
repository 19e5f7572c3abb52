#include "contentserver/PackageInstaller.h"

#include "base/SettingsImport.h"
#include "base/WebRootSwap.h"
#include "contentserver/ObsoleteFiles.h"
#include "contentserver/WebRootCopy.h"
#include "logger/Logger.h"
#include "portable/Archive.h"
#include "portable/ContainedPath.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"

#include <exception>

namespace fs = std::filesystem;

namespace {

// One install at a time, for every installer: they share the staging folder and "update.zip".
// It lives as long as the process.
platform::Queue& installQueue()
{
    static const std::shared_ptr<platform::Queue> queue = [] {
        auto made = platform::makeSerialQueue("install");
        // The window stays responsive while a package installs.
        made->async(platform::lowerCurrentThreadPriority);
        return made;
    }();
    return *queue;
}

void fail(PackageInstaller::Outcome& outcome, std::string error)
{
    outcome.result = PackageInstaller::Outcome::Result::failed;
    outcome.error = std::move(error);
}

} // namespace

PackageInstaller::PackageInstaller(fs::path webRoot, fs::path tmpDir)
    : webRoot_(std::move(webRoot)), staging_(webRoot_.string() + "-1"), tmpDir_(std::move(tmpDir))
{
}

void PackageInstaller::install(Package package, LazyLoadMode lazyLoadMode, Completion completion)
{
    auto job = std::make_shared<Install>(Install{std::move(package), lazyLoadMode, InternalJSValues::current(), {}});
    installQueue().async([self = shared_from_this(), job, completion = std::move(completion)]() mutable {
        try {
            self->run(*job);
        } catch (const std::exception& error) {
            // The live web root is swapped last: whatever threw came before.
            fail(job->result.outcome, std::string("the install failed: ") + error.what());
        }
        platform::mainQueue().async([job, completion = std::move(completion)] {
            const Result& result = job->result;
            if (result.settings)
                importSettings(*result.settings);
            if (result.lazyLoadList)
                storeLazyLoadList(*result.lazyLoadList);
            completion(result.outcome);
        });
    });
}

void PackageInstaller::run(Install& install)
{
    Outcome& outcome = install.result.outcome;
    // The download becomes "update.zip" only now: a package that arrives while another one
    // installs waits under its own name.
    const auto archive = platform::ContainedPath::make(tmpDir_, "update.zip");
    if (install.package.file != archive->path()) {
        if (const auto error = archive->moveFrom(install.package.file)) {
            LOG_ERROR("Error moving file: " + error.message() + " at " + install.package.file.string());
            fail(outcome, "The package could not be put in place: " + error.message());
            return;
        }
    }
    LOG_DEBUG("UPDATE TYPE: " + std::string(install.package.kind == DownloadKind::full ? "full" : "incremental") + " ");

    fs::path file = archive->path();
    switch (decryptPackage(tmpDir_, install.package.key)) {
    case Decryption::notNeeded:
        break;
    case Decryption::decrypted:
        outcome.keySpent = true;
        file = tmpDir_ / "update_dec.zip";
        break;
    case Decryption::notOpened:
        fail(outcome, "The package could not be decrypted into place.");
        return;
    case Decryption::failed:
        outcome.keySpent = true;
        fail(outcome, "The package does not decrypt.");
        return;
    }

    // Opened before the package is unpacked: a full package's archive is deleted on the way.
    std::unique_ptr<platform::Archive> zipContent;
    if (install.package.pageOnShow)
        zipContent = platform::Archive::open(file);
    unpack(file, install);
    if (outcome.result == Outcome::Result::installed && zipContent &&
        zipContent->containsEntry(*install.package.pageOnShow))
        outcome.result = Outcome::Result::installedAndRefreshed;
}

void PackageInstaller::unpack(const fs::path& file, Install& install)
{
    Outcome& outcome = install.result.outcome;
    std::error_code error;
    // Nothing of an earlier try may be merged into the new web root.
    fs::remove_all(staging_, error);
    if (!error && install.package.kind != DownloadKind::full)
        error = copyWebRoot(webRoot_, staging_);
    if (error) {
        LOG_ERROR("UNZIP Error: cannot make the folder (" + error.message() + ") unzipping file " + file.string() +
                  " to " + staging_.string());
        fail(outcome, "The package could not be unpacked: " + error.message());
    } else {
        fail(outcome, "The package was not installed.");
        platform::ZipError zipError;
        current_ = &install;
        const bool unzipped = platform::ZipArchive::unzipFileAtPath(file, staging_, &zipError, this);
        current_ = nullptr;
        if (unzipped) {
            LOG_DEBUG("URL " + platform::fileURLString(file));
        } else {
            LOG_ERROR("UNZIP Error: " + zipError.localizedDescription + " unzipping file " + file.string() + " to " +
                      staging_.string());
            fail(outcome, "The package could not be unpacked: " + zipError.localizedDescription);
        }
    }
    // What was not swapped in is of no further use; the next start removes it when this can't.
    if (fs::exists(fs::symlink_status(staging_))) {
        fs::remove_all(staging_, error);
        if (error) {
            LOG_ERROR("Error deleting " + staging_.string() + " on reverting update");
            if (outcome.result == Outcome::Result::withoutInfoPlist)
                outcome.error = "The package's copy could not be removed: " + error.message();
        }
    }
}

void PackageInstaller::zipArchiveDidUnzipArchive(const fs::path& path, const platform::ZipInfo&,
                                                 const fs::path& unzippedPath)
{
    Install& install = *current_;
    Result& result = install.result;
    LOG_DEBUG("executing unzip delegate at " + platform::fileURLString(unzippedPath));

    const fs::path infoPlist = unzippedPath / "info.plist";
    if (!fs::exists(infoPlist)) {
        LOG_ERROR("ALERT: plist is missing in update.zip!");
        result.outcome.result = Outcome::Result::withoutInfoPlist;
        result.outcome.error.clear();
        return;
    }
    // A list that cannot be read (not a property list, or nested or sized past the bounds of
    // any list read) fails the install like a package that does not unpack.
    auto readSettings = readSettingsList(infoPlist);
    if (!readSettings) {
        LOG_ERROR("info.plist of update.zip cannot be read; the package is not installed");
        fail(result.outcome, "The package's info.plist cannot be read.");
        return;
    }
    platform::PlistDict settings = std::move(*readSettings);
    writeInternalJS(unzippedPath, install.internalJS.with(settings));

    std::error_code error;
    if (install.package.kind == DownloadKind::full && fs::exists(path))
        fs::remove(path, error);
    if (!error) {
        result.lazyLoadList = deleteObsoleteFiles(unzippedPath, install.lazyLoadMode);
        error = WebRootSwap(webRoot_).replaceWith(unzippedPath);
    }
    if (error) {
        LOG_ERROR("Error deleting upzipped dir in full mode: " + error.message());
        result.lazyLoadList.reset();
        fail(result.outcome, "The package could not be swapped in: " + error.message());
        return;
    }
    result.settings = std::move(settings);
    result.outcome.result = Outcome::Result::installed;
    result.outcome.error.clear();
}
