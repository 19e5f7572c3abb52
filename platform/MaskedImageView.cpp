#include "platform/MaskedImageView.h"

#include "platform/Check.h"
#include "platform/Platform.h"

namespace platform {

std::shared_ptr<MaskedImageView> makeMaskedImageView()
{
    requireMainThread();
    return current().makeMaskedImageView ? current().makeMaskedImageView() : nullptr;
}

} // namespace platform
