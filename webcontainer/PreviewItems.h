#pragma once
// The files the screen's preview serves ("delegateFile", "showImage"): a list that only grows,
// so the index of a file once previewed stays valid for as long as the screen lives.
//
// Main thread only. The screen owns it; work that finishes later (an image download) holds it
// weakly and adds nothing once the screen is gone.

#include <cstddef>
#include <filesystem>
#include <vector>

class PreviewItems {
public:
    // The index of `file` in the list, appending it when it is not there yet.
    std::size_t indexOf(const std::filesystem::path& file);
    // Presents the platform's preview on the list, at `index`.
    void present(std::size_t index) const;

    const std::vector<std::filesystem::path>& fileURLs() const { return fileURLs_; }

private:
    std::vector<std::filesystem::path> fileURLs_;
};
