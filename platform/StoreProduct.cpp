#include "platform/StoreProduct.h"

#include <charconv>

namespace platform {

std::optional<double> StoreProduct::priceValue() const
{
    double value = 0;
    const char* end = price.data() + price.size();
    const auto [stop, error] = std::from_chars(price.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace platform
