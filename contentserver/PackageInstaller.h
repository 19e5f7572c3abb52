#pragma once
// Installing a downloaded update package, full or incremental, so that the live web root is
// always the whole old one or the whole new one, and the package's settings take effect only
// with its files.
//
// On the installer's worker thread, in this order:
//   0. the download is renamed to "update.zip" in the program's temporary folder (a package that
//      arrives while another one installs waits under its own name);
//   1. the package is decrypted when it came with a key (into "update_dec.zip" beside it);
//   2. a fresh staging folder (TMPWWWROOT, the web root's path with "-1") is made: empty for a
//      full package, a linked copy of the live web root for an incremental one
//      (contentserver/WebRootCopy.h);
//   3. the package is unpacked into it; then zipArchiveDidUnzipArchive, on the same thread:
//      the package must hold "info.plist" (else nothing is installed, whatever its kind); its
//      text entries are read; "internal.js" is written into the staging folder with the values
//      they bring; a full package's archive is deleted; the manifest clean-up runs there
//      (deleteObsoleteFiles); the staging folder is swapped in (base/WebRootSwap.h);
//   4. after a wake-up check or in silent mode 4, the archive is asked whether it holds the
//      page on show at its top.
// Then on the main thread: the settings of "info.plist" are imported, the lazy-load list the
// clean-up found is stored, and the outcome is handed over. Any failure leaves the live web
// root and the settings as they were and the staging folder removed. A staging folder a killed
// process left is removed at the next start (AppDelegate::copyFile); a swap cut short is
// finished there (WebRootSwap::recover).
//
// What touches the page or the window (the alert, the reload, the page refresh, lazy loading)
// is the caller's, on the main thread, by the outcome.
//
// Threads: `install` on the main thread, with the object held by a shared_ptr, which each
// install keeps until it ends. Packages install one after another on one worker thread. The
// completion runs on the main thread.

#include "base/InternalJS.h"
#include "contentserver/DownloadKind.h"
#include "contentserver/LazyLoadMode.h"
#include "portable/PlistValue.h"
#include "portable/ZipArchive.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PackageInstaller final : public platform::ZipArchiveDelegate,
                               public std::enable_shared_from_this<PackageInstaller> {
public:
    // A finished download of an update package.
    struct Package {
        // The downloaded file in the program's temporary folder; it becomes "update.zip" there.
        std::filesystem::path file;
        // full or incremental.
        DownloadKind kind = DownloadKind::incremental;
        // The key of an encrypted package (the update reply's "secret"); empty: not encrypted.
        std::string key;
        // The last path component of the page on show, when the refresh test is asked for it.
        std::optional<std::string> pageOnShow;
    };

    enum class Decryption {
        // No key: "update.zip" is the package to unpack.
        notNeeded,
        // "update_dec.zip" holds the package to unpack.
        decrypted,
        // "update.zip" or "update_dec.zip" could not be opened: the package and its key stay.
        notOpened,
        // A key longer than 32 bytes, a wrong key or a damaged package; the package is spent.
        failed,
    };

    struct Outcome {
        enum class Result {
            // Installed, and the page on show is a top-level file of the package.
            installedAndRefreshed,
            installed,
            // The package holds no "info.plist": nothing of it was installed. The web view is
            // reloaded; `error` is empty unless its staging copy could not be removed.
            withoutInfoPlist,
            // Nothing of the package was installed: the user is shown the alert of a package
            // that would not unpack; `error` says why.
            failed,
        };
        Result result = Result::failed;
        std::string error;
        // Whether the package's key is spent (its decryption opened both files).
        bool keySpent = false;
    };
    using Completion = std::function<void(const Outcome&)>;

    // `webRoot` is the live web root, `tmpDir` the program's temporary folder.
    PackageInstaller(std::filesystem::path webRoot, std::filesystem::path tmpDir);

    // Installs `package`, its manifest read by `lazyLoadMode`, and then calls `completion` with
    // the outcome. Main thread.
    void install(Package package, LazyLoadMode lazyLoadMode, Completion completion);

    // Decrypts "update.zip" in `tmpDir` into a new "update_dec.zip" there with `key` (its UTF-8
    // bytes zero-padded to 16, 24 or 32 bytes: AES-128, -192 or -256), streamed in fixed
    // buffers. Once both files were opened "update.zip" is deleted, whatever the outcome. Any
    // thread.
    static Decryption decryptPackage(const std::filesystem::path& tmpDir, const std::string& key);

    // The installation, once every entry of the package lies in `unzippedPath` (the staging
    // folder); steps 3 above. On the unpacking thread.
    void zipArchiveDidUnzipArchive(const std::filesystem::path& path, const platform::ZipInfo& zipInfo,
                                   const std::filesystem::path& unzippedPath) override;

private:
    // What an install found on the worker thread, for the main thread to commit.
    struct Result {
        Outcome outcome;
        std::optional<platform::PlistDict> settings;
        std::optional<std::vector<std::string>> lazyLoadList;
    };

    // What the worker thread knows of the install in progress.
    struct Install {
        Package package;
        LazyLoadMode lazyLoadMode;
        InternalJSValues internalJS;
        Result result;
    };

    void run(Install& install);
    void unpack(const std::filesystem::path& file, Install& install);

    const std::filesystem::path webRoot_;
    const std::filesystem::path staging_;
    const std::filesystem::path tmpDir_;
    // The install being unpacked, for zipArchiveDidUnzipArchive. Worker thread only.
    Install* current_ = nullptr;
};
