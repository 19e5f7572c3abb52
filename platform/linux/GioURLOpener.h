#pragma once
// Opens URLs with the desktop's default handler for their scheme (GIO app launching).
// Main thread only; the launch finishes later on the main loop.

#include "platform/URLOpener.h"

namespace platform {

class GioURLOpener final : public URLOpener {
protected:
    void openImpl(const std::string& url) override;
    bool canOpenImpl(const std::string& url) override;
};

} // namespace platform
