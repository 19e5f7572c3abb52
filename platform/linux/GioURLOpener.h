#pragma once
// Opens URLs with the desktop's default handler for their scheme (GIO app launching).

#include "platform/URLOpener.h"

namespace platform {

class GioURLOpener final : public URLOpener {
protected:
    void openImpl(const std::string& url) override;
};

} // namespace platform
