#pragma once
// The preview of local files: one window of the application that shows a list of files, one
// at a time, starting at the one asked for (images, PDF documents and text are shown in it;
// a file of any other type is handed to the desktop's default application for its type). A
// file that does not exist shows as such.
//
// Main thread only. The installed preview lives as long as the platform; presenting again
// replaces what the preview shows.

#include <cstddef>
#include <filesystem>
#include <vector>

namespace platform {

class PreviewController {
public:
    virtual ~PreviewController() = default;

    // Shows `items[currentIndex]` with the others at hand. An index past the end shows nothing.
    void present(const std::vector<std::filesystem::path>& items, std::size_t currentIndex);

protected:
    virtual void presentImpl(const std::vector<std::filesystem::path>& items, std::size_t currentIndex) = 0;
};

// Presents with the installed platform's preview; nothing when none is installed.
void presentPreview(const std::vector<std::filesystem::path>& items, std::size_t currentIndex);

} // namespace platform
