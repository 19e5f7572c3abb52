#include "platform/MaskedImageView.h"

#include "platform/Platform.h"
#include "portable/Check.h"

namespace platform {

std::shared_ptr<MaskedImageView> makeMaskedImageView()
{
    requireMainThread();
    return current().makeMaskedImageView ? current().makeMaskedImageView() : nullptr;
}

} // namespace platform
