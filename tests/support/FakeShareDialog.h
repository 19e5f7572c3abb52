#pragma once
// A share dialog that records each subject and text it was asked to share.

#include "platform/ShareDialog.h"

#include <utility>
#include <vector>

namespace testsupport {

class FakeShareDialog final : public platform::ShareDialog {
public:
    std::vector<std::pair<std::string, std::string>> shared;

protected:
    void presentImpl(const std::string& subject, const std::string& text) override { shared.emplace_back(subject, text); }
};

} // namespace testsupport
