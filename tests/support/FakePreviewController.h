#pragma once
// A preview that records every list and index it was asked to show.

#include "platform/PreviewController.h"

#include <vector>

namespace testsupport {

class FakePreviewController final : public platform::PreviewController {
public:
    struct Shown {
        std::vector<std::filesystem::path> items;
        std::size_t index;
    };
    std::vector<Shown> shown;

protected:
    void presentImpl(const std::vector<std::filesystem::path>& items, std::size_t index) override
    {
        shown.push_back({items, index});
    }
};

} // namespace testsupport
