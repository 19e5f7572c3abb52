#pragma once
// Lets the user choose a file for the page to upload. The desktop's file chooser comes up over
// the page's window; the chosen file is checked against the size limit "maxuploadsize" (a
// decimal number of bytes in the settings; none when missing or no number) and copied into
// the upload folder (Config::UPLOADURL), where the page's upload finds it. The user's own file
// is never moved or deleted. The page then hears
//   {"filePath":"<file name>", "fileType":"other"}
// with the name escaped as a JSON string. A failure is shown as a toast (or, for a file over
// the limit, as an alert) and the page hears nothing; so does a cancelled choice.
//
// Threads: main thread only. Lifetimes: made for one choice; the shown picker keeps it alive
// until the user has chosen or cancelled. It holds the web view weakly.

#include "platform/DocumentPicker.h"
#include "platform/WebView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class DocHandler : public std::enable_shared_from_this<DocHandler> {
public:
    // A handler offering files of the given type identifiers: "public.image" alone offers
    // images, anything else every file. Files are always imported (copied).
    static std::shared_ptr<DocHandler> create(const std::vector<std::string>& documentTypes);

    const std::string PH_ERROR_ON_UPLOAD_CHOOSE;
    // A format with one "%llu": the limit in whole mebibytes.
    const std::string DH_UPLD_TOO_BIG;
    std::weak_ptr<platform::WebView> webView;
    std::optional<std::string> callbackValue;

    // Keeps the web view and the callback and shows the picker over the web view's window.
    // Without a picker on this platform, nothing is shown.
    void presentPicker(const std::shared_ptr<platform::WebView>& webView, std::optional<std::string> callback);

    // The picker's outcomes (file URLs, the first counts).
    void documentsPicked(const std::vector<std::string>& urls);
    void wasCancelled();

    // The size limit in "maxuploadsize"; nothing when there is none.
    static std::optional<std::uint64_t> maxUploadSize();

private:
    explicit DocHandler(platform::DocumentTypes types);

    // The toast of a failed choice, when there is a web view.
    void showChooseError() const;

    const platform::DocumentTypes types_;
    std::shared_ptr<platform::DocumentPicker> picker_;
};
