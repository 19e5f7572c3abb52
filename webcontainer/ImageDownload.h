#pragma once
// The end of a "showImage" download: the image fetched from the content server is written to
// the temporary folder under the name the server gives (or a time-based one) and shown in the
// screen's preview.
//
// Threads: the completion runs on the URL session's queue; it writes the file there and posts
// the rest (the alert, the preview list, the preview) to the main queue. It holds the preview
// list weakly: a screen that is gone by then shows nothing.

#include "platform/UrlSession.h"
#include "webcontainer/PreviewItems.h"

#include <memory>
#include <optional>
#include <string>

// The file name a reply asks for: only when it has both "Content-Type" and
// "Content-Disposition", the text after the first "=" of the disposition's second ";" piece,
// trimmed of white space and then of punctuation at both ends, and of that only the last path
// component, so a name never leads into another folder. Nothing when the header has no such
// piece or the name comes out empty, "." or "..".
std::optional<std::string> serverFileName(const platform::HttpUrlResponse& response);

// Handles the download's outcome: a transport error, no body or a status of 400 or more shows
// the alert "Alert" (the error's description, or "Failed to download the image!"); otherwise
// the body is written atomically into the temporary folder as a file of the preview's own and
// the preview shows it. `Config::appState` goes back to FRESH in every case.
void showImageCompletion(const platform::DataTaskResult& result, const std::weak_ptr<PreviewItems>& previewItems);
